#include "dbcompare/pairing.h"

#include "util/text.h"

#include <map>

namespace orv {

std::string PairKey(const ObjectRef& object, bool caseSensitive) {
    // The NUL keeps "a.b" + "c" apart from "a" + "b.c".
    const std::string key = object.Schema + '\0' + object.Name;
    return caseSensitive ? key : ToUpperAscii(key);
}

std::vector<PairIndex> PairObjects(const std::vector<const ObjectRef*>& source,
                                   const std::vector<const ObjectRef*>& target,
                                   bool caseSensitive) {
    struct Group {
        std::vector<int> source, target;
    };
    std::map<std::string, Group> groups;
    for (size_t i = 0; i < source.size(); ++i)
        groups[PairKey(*source[i], caseSensitive)].source.push_back(static_cast<int>(i));
    for (size_t i = 0; i < target.size(); ++i)
        groups[PairKey(*target[i], caseSensitive)].target.push_back(static_cast<int>(i));

    std::vector<PairIndex> pairs;
    pairs.reserve(source.size() + target.size());
    for (auto& [key, g] : groups) {
        if (g.source.size() == 1 && g.target.size() <= 1) {
            pairs.push_back({g.source[0], g.target.empty() ? -1 : g.target[0]});
            continue;
        }
        std::vector<bool> targetTaken(g.target.size(), false);
        std::vector<int> unpaired;
        auto same = [&](int s, int t) {
            return source[static_cast<size_t>(s)]->Schema ==
                       target[static_cast<size_t>(t)]->Schema &&
                   source[static_cast<size_t>(s)]->Name == target[static_cast<size_t>(t)]->Name;
        };
        for (int s : g.source) {
            bool paired = false;
            for (size_t t = 0; t < g.target.size() && !paired; ++t) {
                if (!targetTaken[t] && same(s, g.target[t])) {
                    targetTaken[t] = true;
                    pairs.push_back({s, g.target[t]});
                    paired = true;
                }
            }
            if (!paired)
                unpaired.push_back(s);
        }
        size_t t = 0;
        for (int s : unpaired) {
            while (t < g.target.size() && targetTaken[t])
                ++t;
            if (t < g.target.size()) {
                targetTaken[t] = true;
                pairs.push_back({s, g.target[t]});
            } else {
                pairs.push_back({s, -1});
            }
        }
        for (size_t i = 0; i < g.target.size(); ++i)
            if (!targetTaken[i])
                pairs.push_back({-1, g.target[i]});
    }
    return pairs;
}

} // namespace orv
