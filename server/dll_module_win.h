// The module object: lock count that decides unloading, the term-callback
// list, and the module-wide operations the rest of the server reaches
// through CurrentModule.
#pragma once

#include <windows.h>
#include <objidl.h>

namespace boardscope {

class CRegObject;

struct TermCallbackNode {
  void (*callback)(void* argument);
  void* argument;
  TermCallbackNode* next;
};

struct _MODULE_STATE {
  ULONG initMarker;
  LONG lockCount;
  TermCallbackNode* termCallbacks;
  CRITICAL_SECTION moduleLock;
};

class CModuleBase : public _MODULE_STATE {
 public:
  CModuleBase(const CModuleBase&) = delete;
  CModuleBase& operator=(const CModuleBase&) = delete;
  virtual ~CModuleBase();

  virtual LONG Lock() noexcept;
  virtual LONG Unlock() noexcept;
  virtual LONG GetLockCount() noexcept;
  virtual HRESULT GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept;
  virtual HRESULT AddCommonSubstitutions(CRegObject& registrar) noexcept;

  [[nodiscard]] HRESULT AddTermCallback(void (*callback)(void*), void* argument) noexcept;

  IGlobalInterfaceTable* globalInterfaceTable;

 protected:
  CModuleBase() noexcept;
  // Runs the term callbacks newest first, then releases what the module
  // holds. Derived destructors call it first, while the object map is
  // still whole.
  void Terminate() noexcept;
};

template <typename T>
class CModuleT : public CModuleBase {};

template <typename T>
class CDllModuleT : public CModuleT<T> {};

class CBoardscopeModule : public CDllModuleT<CBoardscopeModule> {
 public:
  CBoardscopeModule() noexcept;
  ~CBoardscopeModule() override;

  // Runs registry script resourceId of this module with the given extra
  // substitutions (name/value pairs, pairCount of them).
  [[nodiscard]] HRESULT RunRegistryScript(UINT resourceId, bool doRegister,
                            const wchar_t* const (*pairs)[2], int pairCount) noexcept;
  [[nodiscard]] HRESULT UpdateAppIdRegistration(bool doRegister) noexcept;
};

// Set by any module object whose lock could not be initialised.
extern bool InitFailed;
extern CBoardscopeModule* CurrentModule;

}  // namespace boardscope
