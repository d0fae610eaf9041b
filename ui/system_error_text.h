// The reason shown beside an unreadable folder or file, in the system's own words.
#pragma once

#include <string>
#include <system_error>

namespace vek::ui {

std::u16string SystemErrorText(const std::error_code& error);

}  // namespace vek::ui
