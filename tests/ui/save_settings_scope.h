// Answers the Save Comparison dialog for a test: the description as proposed, or as `edit`
// changes it; counts the questions. The dialog that was in place comes back afterwards.
#pragma once

#include "ui/main/frm_save_comparison.h"

#include <functional>

namespace orv::test {

class SaveSettingsAnswer {
public:
    explicit SaveSettingsAnswer(std::function<bool(ComparisonDescription&)> edit = {}) {
        previous_ = SetSaveSettingsAsker([this, edit](QWidget*, ComparisonDescription& d) {
            ++asked;
            return edit ? edit(d) : true;
        });
    }
    ~SaveSettingsAnswer() { SetSaveSettingsAsker(std::move(previous_)); }
    SaveSettingsAnswer(const SaveSettingsAnswer&) = delete;
    SaveSettingsAnswer& operator=(const SaveSettingsAnswer&) = delete;

    int asked = 0;

private:
    SaveSettingsAsker previous_;
};

} // namespace orv::test
