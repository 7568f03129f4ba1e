// What the data-comparison windows share: the three scopes of a run and their captions, the
// question asked for a pair that has no usable key (and the remembered answer), and a run of
// one pair again whose result takes the old one's place.
#pragma once

#include "dbcompare/data_compare.h"
#include "ui/tools/frm_data_compare_key.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orv {

enum class DataCompareScope { SinglePair, SelectedTables, AllTables };

// The menu item's caption without its accelerator ("Compare Data in All Tables").
std::string DataCompareCaption(DataCompareScope scope);

// The key dialog's question for one pair.
struct DataKeyQuestion {
    std::string PairName;
    std::string Reason;
    std::vector<KeyColumnChoice> Columns;
    std::vector<std::string> Current;
};

// Answers a question: the columns picked in key order, empty to skip the pair.
using DataKeyAsker = std::function<std::vector<std::string>(const DataKeyQuestion&)>;

// The key dialog, modal.
std::vector<std::string> AskDataKeyInDialog(QWidget* owner, const DataKeyQuestion& question);

// True for a pair on both sides that could not be compared for want of a usable key, which a
// picked key can cure.
bool NeedsPickedKey(const DataTableResult& pair);

// Reads the pair's candidate key columns, asks `ask`, and remembers the answer for the pair.
// The picked key, or empty when the user skipped the pair or nothing could be offered (a
// message then says why).
std::vector<std::string> OfferDataKey(const DataCompareRequest& request,
                                      const DataTableResult& pair, const DataKeyAsker& ask);

// The request that compares `pair` alone again, matched on `key`.
DataCompareRequest SinglePairRequest(const DataCompareRequest& request, const DataTableResult& pair,
                                     const std::vector<std::string>& key);

// `results` with its table `index` replaced by the one table of `fresh`. The run's outcome is
// the worse of the two: a fresh run that was stopped leaves the whole results incomplete.
DataCompareResultsPtr ReplaceTable(const DataCompareResults& results, size_t index,
                                   const DataCompareResults& fresh);

} // namespace orv
