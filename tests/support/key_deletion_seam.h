// The module's key deletion as tests see it: it deletes, or refuses a key of
// a given name with ERROR_ACCESS_DENIED, as Windows does for a key whose
// access list denies DELETE (Wine grants DELETE whatever the list says).
#pragma once

namespace test_registry {

// Keys named `name` (compared exactly) refuse deletion until the next call; null ends it.
void RefuseDeletionOf(const wchar_t* name);

}  // namespace test_registry
