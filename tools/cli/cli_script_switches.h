// The switches that choose, for one run, how table scripts are written: they may stand anywhere
// on the command line and override the stored settings for that run only.
#pragma once

#include "core/settings.h"

#include <optional>
#include <string>
#include <vector>

namespace orv {

struct ScriptSwitches {
    // --complete-scripts / --no-complete-scripts
    std::optional<bool> CompleteScripts;
    // --ignore-system-names / --no-ignore-system-names
    std::optional<bool> IgnoreSystemNames;
    // --classic-line-matching: differing lines found by the 20-line look-ahead
    std::optional<bool> ClassicLineMatching;

    // Puts the switches given over the settings read from the store.
    void ApplyTo(ProgramSettings& settings) const {
        if (CompleteScripts)
            settings.CompleteTableScripts = *CompleteScripts;
        if (IgnoreSystemNames)
            settings.IgnoreSystemConstraintNames = *IgnoreSystemNames;
        if (ClassicLineMatching)
            settings.ClassicLineMatching = *ClassicLineMatching;
    }
};

// Takes the switches out of the words (the first word, the program's name, is kept); the last
// of two contrary switches wins.
inline ScriptSwitches TakeScriptSwitches(std::vector<std::string>& words) {
    ScriptSwitches switches;
    for (auto it = words.begin() + (words.empty() ? 0 : 1); it != words.end();) {
        if (*it == "--complete-scripts")
            switches.CompleteScripts = true;
        else if (*it == "--no-complete-scripts")
            switches.CompleteScripts = false;
        else if (*it == "--ignore-system-names")
            switches.IgnoreSystemNames = true;
        else if (*it == "--no-ignore-system-names")
            switches.IgnoreSystemNames = false;
        else if (*it == "--classic-line-matching")
            switches.ClassicLineMatching = true;
        else {
            ++it;
            continue;
        }
        it = words.erase(it);
    }
    return switches;
}

} // namespace orv
