# Flags of the code that runs inside Explorer: no exceptions, no RTTI, small.
set(MORVANE_MODULE_FLAGS
  -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -ffunction-sections -fdata-sections
  -Wall -Wextra -Wno-missing-field-initializers -Wno-cast-function-type)
set(MORVANE_MODULE_DEFS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# The hardened build traps on undefined behaviour and smashed stacks.
set(MORVANE_HARDENING_FLAGS)
if(MORVANE_HARDENED)
  set(MORVANE_HARDENING_FLAGS -fstack-protector-strong
      -fsanitize=undefined -fsanitize-undefined-trap-on-error)
endif()
