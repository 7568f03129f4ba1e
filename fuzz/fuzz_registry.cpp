// The registry file may come from anywhere: a hand edit, an export made on Windows, a disk that
// tore a block. Whatever the bytes, parsing must not fault, and what we write back must read
// back as the same document; otherwise every save would drift the stored servers a little
// further from what the user entered.
#include "core/registry_document.h"
#include "util/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool IsAtOrBelow(std::string_view path, std::string_view top) {
    if (path.size() < top.size())
        return false;
    for (size_t i = 0; i < top.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[i])) !=
            std::tolower(static_cast<unsigned char>(top[i])))
            return false;
    return path.size() == top.size() || path[top.size()] == '\\';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using orv::RegistryDocument;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool readable = false;
    RegistryDocument doc = RegistryDocument::Parse(bytes, &readable);

    const std::string once = doc.Serialize();
    bool rereadable = false;
    RegistryDocument reread = RegistryDocument::Parse(once, &rereadable);
    Require(rereadable, "our own file reads as a registry file");
    Require(orv::IsValidUtf8(once), "our own file is UTF-8, so no text in it is reinterpreted");
    Require(reread.Keys().size() == doc.Keys().size(), "the same keys after a save");
    Require(reread.Serialize() == once, "save, load, save gives the same file");

    // Every key and value the reader produced is found again by name.
    for (const auto& key : doc.Keys()) {
        Require(doc.HasKey(key.path), "a listed key is found");
        for (const auto& [name, value] : key.values)
            Require(doc.Find(key.path, name) == &value, "a listed value is found");
    }

    // Removing a key takes exactly it and what lies below it.
    if (!doc.Keys().empty()) {
        const std::string victim = doc.Keys()[size % doc.Keys().size()].path;
        RegistryDocument pruned = doc;
        Require(pruned.DeleteKey(victim), "deleting a listed key succeeds");
        Require(!pruned.HasKey(victim), "a deleted key is gone");
        for (const auto& key : doc.Keys())
            if (!IsAtOrBelow(key.path, victim))
                Require(pruned.HasKey(key.path), "keys beside a deleted one stay");
    }
    return 0;
}
