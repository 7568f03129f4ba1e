// HTML for the export files: escaping of everything that is data, and a small builder for a
// self-contained page (its style sheet inline, nothing fetched from elsewhere).
#pragma once

#include "util/text_view.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace orv {

// Text made safe for an element's content and for an attribute value in quotes: &, <, >, " and
// ' become character references. A NUL becomes U+FFFD, as a browser would show it.
std::string HtmlEscape(std::string_view text);
void AppendHtmlEscaped(std::string& out, std::string_view text);

// "#rrggbb" of a colour, for a style sheet.
std::string CssColour(Colour colour);

struct HtmlAttribute {
    const char* Name; // the program's own literal, never data
    std::string_view Value;
};

// Writes a page into `out`. Tag and attribute names are the caller's literals; every text and
// attribute value passes through HtmlEscape.
class HtmlPage {
public:
    explicit HtmlPage(std::string& out) : out_(out) {}

    // The document type, the head with the title and the style sheet, and the opening body.
    void Begin(std::string_view title, std::string_view css);
    void Open(const char* tag, std::initializer_list<HtmlAttribute> attributes = {});
    void Close(const char* tag);
    void Text(std::string_view text);
    // Open, Text, Close.
    void Element(const char* tag, std::string_view text,
                 std::initializer_list<HtmlAttribute> attributes = {});
    // Closes the body and the document.
    void End();

private:
    std::string& out_;
};

} // namespace orv
