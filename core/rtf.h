// The result box's rich text: the plain-text-to-RTF writer and the keyword highlighting.
// RTF is kept as bytes (std::string): it is pure ASCII, with CP932 bytes as \'xx escapes.
#pragma once

#include <string>
#include <string_view>

#include "search_core.h"

namespace vek {

// The result lines joined with CR LF; the trailing empty element makes it end with CR LF.
std::u16string ResultText(const ResultList& results);

// An RTF document that shows exactly `text` (CR LF separates paragraphs), in the result
// box's font: the header, "\viewkind4" once at the start of the body, double-byte characters
// as \'xx\'xx escapes. Half-width katakana are \'xx, a tab is \tab, other control characters
// (a lone CR or LF too) are \'xx, and characters outside CP932 are \uN? per code unit. The
// document ends with "\par }": that last \par is its final paragraph mark, not a line.
std::string WriteRtf(std::u16string_view text);

// Inserts the colour table before the control word \viewkind and colours every occurrence of
// every non-empty keyword in the document text red ("\cf1 " ... "\cf0 "). Works on any RTF
// that has \viewkind once after its header and writes double-byte characters as \'xx\'xx
// escapes. The text is what a reader shows: escapes decoded, destinations ({\*...},
// \fonttbl, \info, ...) left out, \par as CR LF, so a keyword never matches markup and never
// spans a line end. Outside the red runs every character keeps the colour it had.
std::string HighlightKeywords(std::string_view rtf, const KeywordList& keywords);

// Result lines [first, last) as an RTF piece to append at the end of a result box: each line
// ends in \par, keywords are red, and there is no final paragraph mark. Appended in order,
// the pieces of consecutive ranges show what the highlighted WriteRtf(ResultText(results))
// shows, so a large result can be loaded a few lines at a time.
std::string ResultRtfPiece(const ResultList& results, std::size_t first, std::size_t last,
                           const KeywordList& keywords);

// The highlighted document of a result written as it comes: the head, the body of each run of
// result lines in order, then the end; together the bytes of
// HighlightKeywords(WriteRtf(ResultText(results)), keywords) for a result with hits.
std::string_view ResultRtfHead();
std::string ResultRtfBody(const ResultList& lines, const KeywordList& keywords);
std::string_view ResultRtfEnd();

}  // namespace vek
