// Lines the archive code reports back; the caller turns them into log actions.
#pragma once

#include <string>
#include <vector>

namespace standin {

using Notes = std::vector<std::wstring>;

}  // namespace standin
