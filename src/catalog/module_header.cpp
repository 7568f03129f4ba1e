#include "catalog/module_header.h"

#include <cctype>

namespace orv {

namespace {

class Scanner {
public:
    explicit Scanner(const std::string& text) : text_(text) {}

    // Past blanks, line comments and (nesting) block comments.
    void SkipBlanks() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++at_;
            } else if (c == '-' && Next() == '-') {
                while (at_ < text_.size() && text_[at_] != '\n')
                    ++at_;
            } else if (c == '/' && Next() == '*') {
                int depth = 0;
                while (at_ < text_.size()) {
                    if (text_[at_] == '/' && Next() == '*') {
                        ++depth;
                        at_ += 2;
                    } else if (text_[at_] == '*' && Next() == '/') {
                        at_ += 2;
                        if (--depth == 0)
                            break;
                    } else {
                        ++at_;
                    }
                }
            } else {
                return;
            }
        }
    }

    // The next word (letters, digits, _, @, #, $), upper-cased; empty when none.
    std::string Word() {
        const size_t start = at_;
        while (at_ < text_.size() && IsWordChar(text_[at_]))
            ++at_;
        std::string w = text_.substr(start, at_ - start);
        for (char& c : w)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return w;
    }

    // One part of a name: bracketed ("]]" inside is one "]"), quoted, or plain. False when
    // none stands here.
    bool Part(std::string& part) {
        part.clear();
        if (at_ >= text_.size())
            return false;
        const char open = text_[at_];
        if (open == '[' || open == '"') {
            const char close = open == '[' ? ']' : '"';
            for (size_t i = at_ + 1; i < text_.size(); ++i) {
                if (text_[i] != close) {
                    part += text_[i];
                    continue;
                }
                if (i + 1 < text_.size() && text_[i + 1] == close) {
                    part += close;
                    ++i;
                    continue;
                }
                at_ = i + 1;
                return true;
            }
            return false; // unclosed: no name
        }
        const size_t start = at_;
        while (at_ < text_.size() && IsWordChar(text_[at_]))
            ++at_;
        part = text_.substr(start, at_ - start);
        return !part.empty();
    }

    size_t At() const { return at_; }
    void Seek(size_t at) { at_ = at; }
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

private:
    static bool IsWordChar(char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || c == '_' || c == '@' || c == '#' || c == '$' || u >= 0x80;
    }
    char Next() const { return at_ + 1 < text_.size() ? text_[at_ + 1] : '\0'; }

    const std::string& text_;
    size_t at_ = 0;
};

} // namespace

ModuleHeaderName FindModuleHeaderName(const std::string& text) {
    ModuleHeaderName header;
    Scanner s(text);
    s.SkipBlanks();
    const std::string verb = s.Word();
    if (verb != "CREATE" && verb != "ALTER")
        return header;
    s.SkipBlanks();
    std::string kind = s.Word();
    if (verb == "CREATE" && kind == "OR") { // CREATE OR ALTER, from 2016 SP1
        s.SkipBlanks();
        if (s.Word() != "ALTER")
            return header;
        s.SkipBlanks();
        kind = s.Word();
    }
    if (kind != "PROC" && kind != "PROCEDURE" && kind != "VIEW" && kind != "FUNCTION" &&
        kind != "TRIGGER")
        return header;
    s.SkipBlanks();
    header.Begin = s.At();
    // Up to four parts, blanks allowed around the dots as the parser allows them.
    for (;;) {
        std::string part;
        if (!s.Part(part))
            return ModuleHeaderName{};
        header.Parts.push_back(part);
        header.End = s.At();
        const size_t afterPart = s.At();
        s.SkipBlanks();
        if (s.Peek() != '.' || header.Parts.size() == 4) {
            s.Seek(afterPart);
            break;
        }
        s.Seek(s.At() + 1);
        s.SkipBlanks();
    }
    header.Found = true;
    header.Written = text.substr(header.Begin, header.End - header.Begin);
    return header;
}

bool NamesAnotherObject(const ModuleHeaderName& header, const std::string& schema,
                        const std::string& name) {
    if (!header.Found)
        return false;
    if (header.Parts.back() != name)
        return true;
    // A schema unknown to the caller, or none written, is no difference.
    if (schema.empty() || header.Parts.size() < 2 || header.Parts[header.Parts.size() - 2].empty())
        return false;
    const std::string& written = header.Parts[header.Parts.size() - 2];
    if (written.size() != schema.size())
        return true;
    for (size_t i = 0; i < written.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(written[i])) !=
            std::tolower(static_cast<unsigned char>(schema[i])))
            return true;
    return false;
}

std::string WithCurrentName(const std::string& text, const std::string& currentName) {
    const ModuleHeaderName current = FindModuleHeaderName("CREATE VIEW " + currentName);
    if (!current.Found)
        return text;
    const std::vector<std::string>& parts = current.Parts;
    const ModuleHeaderName header = FindModuleHeaderName(text);
    if (!NamesAnotherObject(header, parts.size() > 1 ? parts[parts.size() - 2] : "", parts.back()))
        return text;
    return text.substr(0, header.Begin) + currentName + text.substr(header.End);
}

} // namespace orv
