// Catalog names are data. These helpers put them into generated SQL so that a name can never
// end the literal or identifier it sits in, while ordinary names come out exactly as the plain
// fragments would have them.
#pragma once

#include <string>
#include <string_view>

namespace orv {

// For use inside '...': every apostrophe doubled.
std::string SqlLiteral(std::string_view name);

// "[" unless the text already begins with "[", "]" unless it already ends with "]". Nothing
// inside is touched, so this is for display texts, not for executing.
std::string BracketName(std::string_view name);

// One identifier part in brackets, with a "]" inside it doubled. A text that already is one
// well-formed bracketed part is returned as it is.
std::string QuoteIdentifierPart(std::string_view name);

// A name as the catalog stores it, always put in brackets with "]" doubled: a table may well be
// called [Orders], brackets included, and must not be mistaken for Orders.
std::string QuoteCatalogName(std::string_view name);

// True when the text is one or more well-formed bracketed parts joined by ".", such as
// [Orders] or [sales].[Orders] or [a]]b].
bool IsQuotedIdentifierChain(std::string_view text);

// A name safe to execute as an identifier: a well-formed bracketed chain stays as it is,
// anything else is taken as one bare name and quoted.
std::string SafeIdentifier(std::string_view name);

} // namespace orv
