// Registration of the module: application identifier, class, type library
// and the host's plug-in value.
#include "server/module.h"

namespace boardscope {

HRESULT UpdateZEMBoardscopeRegistry(bool) noexcept { return E_NOTIMPL; }

HRESULT CModuleBase::AddCommonSubstitutions(CRegObject&) noexcept { return E_NOTIMPL; }

}  // namespace boardscope
