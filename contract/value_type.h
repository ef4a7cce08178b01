// The host's VALUETYPE (contract/Boardscope.idl) for code that builds without
// the IDL's header; contract/host_records_win.h checks that the numbers agree.
#pragma once

#include <cstdint>

namespace boardscope {

enum class EntryValueType : std::int32_t { Number = 1, Percent = 2, Bool = 3, String = 4 };

}  // namespace boardscope
