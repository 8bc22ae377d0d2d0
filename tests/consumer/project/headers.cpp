// Every public C++ header the packages install, in one C++17 translation unit.
#include <tarnwick/version.h>
#include <penmoor/ini.hpp>
#include <penmoor/ini_file.hpp>
#include <penmoor/ini_text.hpp>
#include <penmoor/settings.hpp>
#include <penmoor/values.hpp>
#include <tarnwick/components/user_control.hpp>
#include <tarnwick/files/runtime_error.hpp>
#include <tarnwick/files/types.hpp>
#include <tw_ini/ini.hpp>

static_assert(__cplusplus == 201703L, "the headers are checked as C++17");
