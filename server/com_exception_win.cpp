#include "server/com_exception_win.h"

namespace boardscope {

int CheckCrtResult(int error) {
  switch (error) {
    case 0:
    case 80:  // STRUNCATE: the caller asked for truncation
      return error;
    case 12:  // ENOMEM
      throw CComException(E_OUTOFMEMORY);
    case 22:  // EINVAL
    case 34:  // ERANGE
      throw CComException(E_INVALIDARG);
    default:
      throw CComException(E_FAIL);
  }
}

}  // namespace boardscope
