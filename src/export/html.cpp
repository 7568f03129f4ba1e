#include "export/html.h"

#include <cstdio>
#include <cstring>

namespace orv {

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\0':
            out += "\xEF\xBF\xBD";
            break;
        default:
            out += c;
        }
    }
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlEscaped(out, text);
    return out;
}

std::string CssColour(Colour colour) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", static_cast<unsigned>(colour & 0xFF),
                  static_cast<unsigned>((colour >> 8) & 0xFF),
                  static_cast<unsigned>((colour >> 16) & 0xFF));
    return buf;
}

namespace {

// Block elements end their line, so the file reads well in an editor too.
bool EndsLine(const char* tag) {
    for (const char* block : {"html", "head", "body", "table", "thead", "tbody", "tr", "p", "h1",
                              "h2", "h3", "div", "ul", "li", "pre", "style", "title", "section"})
        if (std::strcmp(tag, block) == 0)
            return true;
    return false;
}

} // namespace

void HtmlPage::Begin(std::string_view title, std::string_view css) {
    out_ += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    Element("title", title);
    out_ += "<style>\n";
    out_.append(css);
    out_ += "</style>\n</head>\n<body>\n";
}

void HtmlPage::Open(const char* tag, std::initializer_list<HtmlAttribute> attributes) {
    out_ += '<';
    out_ += tag;
    for (const HtmlAttribute& a : attributes) {
        out_ += ' ';
        out_ += a.Name;
        out_ += "=\"";
        AppendHtmlEscaped(out_, a.Value);
        out_ += '"';
    }
    out_ += '>';
}

void HtmlPage::Close(const char* tag) {
    out_ += "</";
    out_ += tag;
    out_ += '>';
    if (EndsLine(tag))
        out_ += '\n';
}

void HtmlPage::Text(std::string_view text) {
    AppendHtmlEscaped(out_, text);
}

void HtmlPage::Element(const char* tag, std::string_view text,
                       std::initializer_list<HtmlAttribute> attributes) {
    Open(tag, attributes);
    Text(text);
    Close(tag);
}

void HtmlPage::End() {
    out_ += "</body>\n</html>\n";
}

} // namespace orv
