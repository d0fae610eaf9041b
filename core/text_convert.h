// UTF-8 / UTF-16 conversions for the front ends and for file names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vek {

// Invalid sequences become U+FFFD; neither direction ever throws.
std::u16string Utf8ToUtf16(std::string_view text);
// Bytes that should be UTF-8 but need not be, as a Linux file name: each byte that is not
// part of valid UTF-8 becomes the lone surrogate U+DC80 to U+DCFF, which the conversions to
// UTF-8 write back as that byte. A name is then shown, printed and opened as its own bytes.
std::u16string BytesToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf8(std::u16string_view text, std::string& out);

// A path's text as UTF-16. Unlike path::u16string() this never throws on a name that is not
// valid in the platform's encoding (a CP932-named file on Linux keeps its bytes, escaped as
// BytesToUtf16 does).
std::u16string PathText(const std::filesystem::path& path);
// The same for a path's text, or a piece of it, as the platform spells it, appended to `out`.
void AppendPathText(std::basic_string_view<std::filesystem::path::value_type> text,
                    std::u16string& out);
std::u16string FileNameText(const std::filesystem::path& path);

// The path that a folder text names, without loss on either platform.
std::filesystem::path PathFromText(std::u16string_view text);

}  // namespace vek
