// The type library embedded in Boardscope.dll, read back through the
// system's type-library interfaces and compared with the host contract.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "Boardscope.h"
#include "platform/owners_win.h"

namespace {

using boardscope::ComPtr;
using boardscope::UniqueBstr;
using boardscope::FuncDesc;
using boardscope::TypeAttr;
using boardscope::VarDesc;

// {B81FD612-D3F2-41C0-B9E9-6A1D6FDDAEE2}: stored only in the type library.
constexpr GUID kValueTypeGuid = {0xB81FD612, 0xD3F2, 0x41C0,
                                 {0xB9, 0xE9, 0x6A, 0x1D, 0x6F, 0xDD, 0xAE, 0xE2}};
// The standard OLE automation library, stdole2.tlb.
constexpr GUID kStdOleGuid = {0x00020430, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr WORD kInterfaceFlags =
    TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
static_assert(kInterfaceFlags == 0x11C0);
constexpr USHORT kOutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;

// The contract is the 32-bit layout; the 64-bit test build of the same IDL
// checks its own pointer-sized layout instead.
constexpr ULONG ForTarget(ULONG win32, ULONG win64) { return sizeof(void*) == 4 ? win32 : win64; }
constexpr ULONG kPointer = sizeof(void*);
constexpr SYSKIND kSysKind = sizeof(void*) == 4 ? SYS_WIN32 : SYS_WIN64;

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
  return out;
}

std::string Hex(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}
#define ASSERT_HR_OK(expr)                                    \
  do {                                                        \
    const HRESULT hr_ = (expr);                               \
    ASSERT_EQ(S_OK, hr_) << #expr << " -> " << Hex(hr_);      \
  } while (0)


std::wstring ModuleDirectory() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

struct Documentation {
  std::string name;
  std::string doc;
  DWORD helpContext = 0xDEADBEEF;
  bool hasHelpFile = true;
};

Documentation DocumentationOf(ITypeInfo* info, MEMBERID id) {
  UniqueBstr name, doc, helpFile;
  Documentation result;
  const HRESULT hr = info->GetDocumentation(id, name.put(), doc.put(), &result.helpContext, helpFile.put());
  EXPECT_EQ(S_OK, hr) << "GetDocumentation " << id;
  result.name = Narrow(name.get());
  result.doc = Narrow(doc.get());
  result.hasHelpFile = static_cast<bool>(helpFile);
  return result;
}

// Name of the type a VT_USERDEFINED reference leads to.
std::string RefTypeName(ITypeInfo* info, HREFTYPE ref) {
  ComPtr<ITypeInfo> target;
  if (FAILED(info->GetRefTypeInfo(ref, target.put()))) return "<unresolved>";
  return DocumentationOf(target.get(), MEMBERID_NIL).name;
}

// A type description as text: "BSTR", "UI4", "I8", "ptr ptr _ZEM_INFO_ENTRY"...
std::string Describe(ITypeInfo* info, const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR: return "ptr " + Describe(info, *type.lptdesc);
    case VT_USERDEFINED: return RefTypeName(info, type.hreftype);
    case VT_BSTR: return "BSTR";
    case VT_UI4: return "UI4";
    case VT_I4: return "I4";
    case VT_I8: return "I8";
    case VT_INT: return "INT";
    case VT_HRESULT: return "HRESULT";
    default: return "vt" + std::to_string(type.vt);
  }
}

class TypeLibTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::wstring path = ModuleDirectory() + L"Boardscope.dll";
    loadResult_ = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib_.put());
  }
  static void TearDownTestSuite() {
    lib_.reset();
  }
  void SetUp() override {
    ASSERT_EQ(S_OK, loadResult_) << "LoadTypeLibEx(Boardscope.dll) -> " << Hex(loadResult_);
  }

  // The type description named `name` as the library hands it out.
  static ComPtr<ITypeInfo> TypeNamed(const char* name) {
    ComPtr<ITypeInfo> found;
    for (UINT i = 0; i < lib_->GetTypeInfoCount() && !found; ++i) {
      ComPtr<ITypeInfo> info;
      if (SUCCEEDED(lib_->GetTypeInfo(i, info.put())) && DocumentationOf(info.get(), MEMBERID_NIL).name == name)
        found = std::move(info);
    }
    EXPECT_TRUE(found) << "no type " << name;
    return found;
  }

  // The virtual-table view of a dual interface.
  static ComPtr<ITypeInfo> VtableView(ITypeInfo* dispatchView) {
    ComPtr<ITypeInfo> view;
    HREFTYPE ref = 0;
    EXPECT_EQ(S_OK, dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
    EXPECT_EQ(S_OK, dispatchView->GetRefTypeInfo(ref, view.put()));
    return view;
  }

  static ComPtr<ITypeLib> lib_;
  static HRESULT loadResult_;
};
ComPtr<ITypeLib> TypeLibTest::lib_;
HRESULT TypeLibTest::loadResult_ = E_FAIL;

TEST_F(TypeLibTest, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_HR_OK(lib_->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(LIBID_BoardscopeLib, attr->guid));
  EXPECT_EQ(1033u, attr->lcid);
  EXPECT_EQ(kSysKind, attr->syskind);
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  // none of the stored flags; the loader itself adds LIBFLAG_FHASDISKIMAGE
  EXPECT_EQ(0, attr->wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN));
  lib_->ReleaseTLibAttr(attr);

  UniqueBstr name, doc, helpFile;
  DWORD helpContext = 0xDEADBEEF;
  ASSERT_HR_OK(lib_->GetDocumentation(-1, name.put(), doc.put(), &helpContext, helpFile.put()));
  EXPECT_EQ("BoardscopeLib", Narrow(name.get()));
  EXPECT_EQ("Boardscope 1.0 Type Library", Narrow(doc.get()));
  EXPECT_EQ(0u, helpContext);
  EXPECT_FALSE(helpFile);
}

struct TypeRow {
  const char* name;
  TYPEKIND kind;
  WORD flags;  // as stored; see TypesInOrder for the dispatch view
  const char* doc;
  ULONG size;
  WORD alignment;
  WORD vars;
  WORD implTypes;
};

// The ten type descriptions in library order.
const TypeRow kTypes[] = {
    {"ZEMBoardscope", TKIND_COCLASS, TYPEFLAG_FCANCREATE, "ZEMBoardscope Class", kPointer, 4, 0, 3},
    {"IZEMBoardscope", TKIND_DISPATCH, kInterfaceFlags, "IZEMBoardscope Interface", kPointer, kPointer, 0, 1},
    {"IZEMComponent", TKIND_DISPATCH, kInterfaceFlags, "IZEMComponent Interface", kPointer, kPointer, 0, 1},
    {"_ZEM_COMPONENT_INFO", TKIND_RECORD, 0, "", ForTarget(36, 40), kPointer, 6, 0},
    {"_ZEM_COMPONENT_CAPS", TKIND_RECORD, 0, "", 16, 4, 4, 0},
    {"IZEMInfo", TKIND_DISPATCH, kInterfaceFlags, "IZemInformation Interface", kPointer, kPointer, 0, 1},
    {"_ZEM_INFO_ENTRY", TKIND_RECORD, 0, "", ForTarget(40, 56), 8, 8, 0},
    {"VALUETYPE", TKIND_ENUM, 0, "IZemInfo Value Type", 4, 4, 4, 0},
    {"_LARGE_INTEGER", TKIND_RECORD, 0, "", 8, 8, 1, 0},
    {"_ZEM_INSTANCE_INFO", TKIND_RECORD, 0, "", kPointer, kPointer, 1, 0},
};

TEST_F(TypeLibTest, TypesInOrder) {
  ASSERT_EQ(std::size(kTypes), lib_->GetTypeInfoCount());
  for (UINT i = 0; i < std::size(kTypes); ++i) {
    const TypeRow& row = kTypes[i];
    SCOPED_TRACE(row.name);
    TYPEKIND kind = TKIND_MAX;
    ASSERT_HR_OK(lib_->GetTypeInfoType(i, &kind));
    EXPECT_EQ(row.kind, kind);

    ComPtr<ITypeInfo> info;
    ASSERT_HR_OK(lib_->GetTypeInfo(i, info.put()));
    const Documentation doc = DocumentationOf(info.get(), MEMBERID_NIL);
    EXPECT_EQ(row.name, doc.name);
    EXPECT_EQ(row.doc, doc.doc);
    EXPECT_EQ(0u, doc.helpContext);
    EXPECT_FALSE(doc.hasHelpFile);

    TypeAttr attr;
    ASSERT_HR_OK(info->GetTypeAttr(attr.put(info.get())));
    EXPECT_EQ(row.kind, attr->typekind);
    // The system may drop TYPEFLAG_FOLEAUTOMATION from the dispatch half of a
    // dual interface; the virtual-table half is checked for all four flags.
    const WORD ignored = row.kind == TKIND_DISPATCH ? TYPEFLAG_FOLEAUTOMATION : 0;
    EXPECT_EQ(row.flags & ~ignored, attr->wTypeFlags & ~ignored);
    EXPECT_EQ(row.size, attr->cbSizeInstance);
    EXPECT_EQ(row.alignment, attr->cbAlignment);
    EXPECT_EQ(row.vars, attr->cVars);
    EXPECT_EQ(row.implTypes, attr->cImplTypes);
    EXPECT_EQ(0, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);

    ComPtr<ITypeInfo2> info2;
    ASSERT_HR_OK(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(info2.put())));
    CUSTDATA custom = {};
    ASSERT_HR_OK(info2->GetAllCustData(&custom));
    EXPECT_EQ(0u, custom.cCustData);
    ClearCustData(&custom);
  }
}

TEST_F(TypeLibTest, Identifiers) {
  const struct {
    const char* name;
    const GUID& guid;
  } rows[] = {
      {"ZEMBoardscope", CLSID_ZEMBoardscope}, {"IZEMBoardscope", IID_IZEMBoardscope},
      {"IZEMComponent", IID_IZEMComponent},   {"IZEMInfo", IID_IZEMInfo},
      {"VALUETYPE", kValueTypeGuid},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ComPtr<ITypeInfo> info = TypeNamed(row.name);
    ASSERT_TRUE(info);
    TypeAttr attr;
    ASSERT_HR_OK(info->GetTypeAttr(attr.put(info.get())));
    EXPECT_TRUE(IsEqualGUID(row.guid, attr->guid));
    ComPtr<ITypeInfo> byGuid;
    EXPECT_EQ(S_OK, lib_->GetTypeInfoOfGuid(row.guid, byGuid.put()));
  }
}

TEST_F(TypeLibTest, ClassImplementsThreeInterfacesDefaultFirst) {
  ComPtr<ITypeInfo> coclass = TypeNamed("ZEMBoardscope");
  ASSERT_TRUE(coclass);
  const struct {
    const char* name;
    INT flags;
  } rows[] = {{"IZEMBoardscope", IMPLTYPEFLAG_FDEFAULT}, {"IZEMComponent", 0}, {"IZEMInfo", 0}};
  for (UINT i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    HREFTYPE ref = 0;
    ASSERT_HR_OK(coclass->GetRefTypeOfImplType(i, &ref));
    EXPECT_EQ(rows[i].name, RefTypeName(coclass.get(), ref));
    INT flags = -1;
    ASSERT_HR_OK(coclass->GetImplTypeFlags(i, &flags));
    EXPECT_EQ(rows[i].flags, flags);
  }
}

struct ParamRow {
  const char* name;
  const char* type;
  USHORT flags;
};

struct MethodRow {
  const char* iface;
  MEMBERID id;
  const char* name;
  const char* help;
  std::vector<ParamRow> params;
};

const MethodRow kMethods[] = {
    {"IZEMComponent", 1, "Init", "Initializes the Component", {}},
    {"IZEMComponent", 2, "UnInit", "Uninitializes the Component", {}},
    {"IZEMComponent", 3, "GetComponentInfo", "Returns Component Information like Name, Version etc.",
     {{"CompInfo", "ptr _ZEM_COMPONENT_INFO", kOutRetval}}},
    {"IZEMComponent", 4, "GetComponentCaps", "Returns the Component Capabilities",
     {{"CompCaps", "ptr _ZEM_COMPONENT_CAPS", kOutRetval}}},
    {"IZEMInfo", 1, "GetTICommonData", "Returns Common Data",
     {{"InfoCount", "ptr UI4", PARAMFLAG_FOUT}, {"Info", "ptr ptr _ZEM_INFO_ENTRY", kInOut}}},
    {"IZEMInfo", 2, "GetTIInstanceCount", "Returns Available Number of Instances",
     {{"InstanceCount", "ptr UI4", kOutRetval}}},
    {"IZEMInfo", 3, "GetTIInstanceInfo", "Returns Instance information",
     {{"Instance", "UI4", PARAMFLAG_FIN}, {"InstanceInfo", "ptr _ZEM_INSTANCE_INFO", kOutRetval}}},
    {"IZEMInfo", 4, "GetTIInstanceData", "Returns Instance Specific Data",
     {{"Instance", "UI4", PARAMFLAG_FIN},
      {"InfoCount", "ptr UI4", PARAMFLAG_FOUT},
      {"Info", "ptr ptr _ZEM_INFO_ENTRY", kInOut}}},
};

TEST_F(TypeLibTest, VirtualTableViewOfEachInterface) {
  const struct {
    const char* name;
    WORD methods;
  } rows[] = {{"IZEMBoardscope", 0}, {"IZEMComponent", 4}, {"IZEMInfo", 4}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ComPtr<ITypeInfo> dispatch = TypeNamed(row.name);
    ASSERT_TRUE(dispatch);
    ComPtr<ITypeInfo> vtable = VtableView(dispatch.get());
    ASSERT_TRUE(vtable);
    TypeAttr attr;
    ASSERT_HR_OK(vtable->GetTypeAttr(attr.put(vtable.get())));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(kInterfaceFlags, attr->wTypeFlags);
    EXPECT_EQ(row.methods, attr->cFuncs);  // IZEMBoardscope has none of its own
    EXPECT_EQ(7 * kPointer + kPointer * row.methods, attr->cbSizeVft);
    HREFTYPE base = 0;
    ASSERT_HR_OK(vtable->GetRefTypeOfImplType(0, &base));
    EXPECT_EQ("IDispatch", RefTypeName(vtable.get(), base));
  }
}

TEST_F(TypeLibTest, MethodsInVirtualTableOrder) {
  for (const MethodRow& row : kMethods) {
    SCOPED_TRACE(row.name);
    ComPtr<ITypeInfo> dispatch = TypeNamed(row.iface);
    ASSERT_TRUE(dispatch);
    ComPtr<ITypeInfo> vtable = VtableView(dispatch.get());
    ASSERT_TRUE(vtable);
    // own methods are numbered from 1 in slot order
    const UINT index = static_cast<UINT>(row.id - 1);

    FuncDesc func;
    ASSERT_HR_OK(vtable->GetFuncDesc(index, func.put(vtable.get())));
    EXPECT_EQ(row.id, func->memid);
    EXPECT_EQ(static_cast<SHORT>(7 * kPointer + kPointer * index), func->oVft);  // 28, 32, 36, 40
    EXPECT_EQ(FUNC_PUREVIRTUAL, func->funckind);
    EXPECT_EQ(INVOKE_FUNC, func->invkind);
    EXPECT_EQ(CC_STDCALL, func->callconv);
    EXPECT_EQ(0, func->cParamsOpt);
    EXPECT_EQ(0, func->wFuncFlags);
    EXPECT_EQ("HRESULT", Describe(vtable.get(), func->elemdescFunc.tdesc));
    ASSERT_EQ(static_cast<SHORT>(row.params.size()), func->cParams);

    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_HR_OK(vtable->GetNames(func->memid, names, 8, &count));
    UniqueBstr owned[8];
    for (UINT n = 0; n < count; ++n) owned[n].reset(names[n]);
    ASSERT_EQ(row.params.size() + 1, count);
    EXPECT_EQ(row.name, Narrow(names[0]));
    for (UINT p = 0; p < row.params.size(); ++p) {
      const ELEMDESC& param = func->lprgelemdescParam[p];
      EXPECT_EQ(row.params[p].name, Narrow(names[p + 1]));
      EXPECT_EQ(row.params[p].type, Describe(vtable.get(), param.tdesc)) << row.params[p].name;
      EXPECT_EQ(row.params[p].flags, param.paramdesc.wParamFlags) << row.params[p].name;
    }

    const Documentation doc = DocumentationOf(vtable.get(), row.id);
    EXPECT_EQ(row.help, doc.doc);
    EXPECT_EQ(0u, doc.helpContext);
  }
}

TEST_F(TypeLibTest, NamesMapToDispatchIds) {
  for (const MethodRow& row : kMethods) {
    SCOPED_TRACE(row.name);
    ComPtr<ITypeInfo> dispatch = TypeNamed(row.iface);
    ASSERT_TRUE(dispatch);
    ComPtr<ITypeInfo> vtable = VtableView(dispatch.get());
    ASSERT_TRUE(vtable);
    for (ITypeInfo* view : {dispatch.get(), vtable.get()}) {
      std::wstring name(row.name, row.name + strlen(row.name));
      LPOLESTR names[] = {name.data()};
      MEMBERID id = 0x7EADBEEF;
      ASSERT_HR_OK(view->GetIDsOfNames(names, 1, &id));
      EXPECT_EQ(row.id, id);
    }
  }
}

struct FieldRow {
  const char* record;
  const char* name;
  ULONG offset;
  const char* type;
};

const FieldRow kFields[] = {
    {"_ZEM_COMPONENT_INFO", "Name", 0, "BSTR"},
    {"_ZEM_COMPONENT_INFO", "UniqueIdentifier", ForTarget(4, 8), "GUID"},
    {"_ZEM_COMPONENT_INFO", "MajorVersion", ForTarget(20, 24), "UI4"},
    {"_ZEM_COMPONENT_INFO", "MinorVersion", ForTarget(24, 28), "UI4"},
    {"_ZEM_COMPONENT_INFO", "HotFix", ForTarget(28, 32), "UI4"},
    {"_ZEM_COMPONENT_INFO", "Build", ForTarget(32, 36), "UI4"},
    {"_ZEM_COMPONENT_CAPS", "IZemInformationSupport", 0, "I4"},
    {"_ZEM_COMPONENT_CAPS", "IZemControlSupport", 4, "I4"},
    {"_ZEM_COMPONENT_CAPS", "IZemWorkloadSupport", 8, "I4"},
    {"_ZEM_COMPONENT_CAPS", "IZemSolverSupport", 12, "I4"},
    {"_ZEM_INFO_ENTRY", "Name", 0, "BSTR"},
    {"_ZEM_INFO_ENTRY", "Unit", ForTarget(4, 8), "BSTR"},
    {"_ZEM_INFO_ENTRY", "Type", ForTarget(8, 16), "VALUETYPE"},
    {"_ZEM_INFO_ENTRY", "StrValue", ForTarget(12, 24), "BSTR"},
    {"_ZEM_INFO_ENTRY", "Value", ForTarget(16, 32), "_LARGE_INTEGER"},
    {"_ZEM_INFO_ENTRY", "Divisor", ForTarget(24, 40), "_LARGE_INTEGER"},
    {"_ZEM_INFO_ENTRY", "Flags", ForTarget(32, 48), "UI4"},
    {"_ZEM_INFO_ENTRY", "Error", ForTarget(36, 52), "UI4"},
    {"_LARGE_INTEGER", "QuadPart", 0, "I8"},
    {"_ZEM_INSTANCE_INFO", "Name", 0, "BSTR"},
};

TEST_F(TypeLibTest, RecordFieldsAtTheirOffsets) {
  std::string record;
  UINT index = 0;
  for (const FieldRow& row : kFields) {
    SCOPED_TRACE(std::string(row.record) + "." + row.name);
    index = record == row.record ? index + 1 : 0;
    record = row.record;
    ComPtr<ITypeInfo> info = TypeNamed(row.record);
    ASSERT_TRUE(info);
    VarDesc var;
    ASSERT_HR_OK(info->GetVarDesc(index, var.put(info.get())));
    EXPECT_EQ(VAR_PERINSTANCE, var->varkind);
    EXPECT_EQ(row.offset, var->oInst);
    EXPECT_EQ(row.type, Describe(info.get(), var->elemdescVar.tdesc));
    const Documentation doc = DocumentationOf(info.get(), var->memid);
    EXPECT_EQ(row.name, doc.name);
    EXPECT_EQ("", doc.doc);
  }
}

TEST_F(TypeLibTest, GuidFieldIsTheStandardOleRecord) {
  ComPtr<ITypeInfo> info = TypeNamed("_ZEM_COMPONENT_INFO");
  ASSERT_TRUE(info);
  VarDesc var;
  ASSERT_HR_OK(info->GetVarDesc(1, var.put(info.get())));
  ASSERT_EQ(VT_USERDEFINED, var->elemdescVar.tdesc.vt);
  ComPtr<ITypeInfo> guid;
  ASSERT_HR_OK(info->GetRefTypeInfo(var->elemdescVar.tdesc.hreftype, guid.put()));
  TypeAttr attr;
  ASSERT_HR_OK(guid->GetTypeAttr(attr.put(guid.get())));
  EXPECT_EQ(TKIND_RECORD, attr->typekind);
  EXPECT_EQ(16u, attr->cbSizeInstance);

  ComPtr<ITypeLib> stdole;
  UINT index = 0;
  ASSERT_HR_OK(guid->GetContainingTypeLib(stdole.put(), &index));
  TLIBATTR* libAttr = nullptr;
  ASSERT_HR_OK(stdole->GetLibAttr(&libAttr));
  EXPECT_TRUE(IsEqualGUID(kStdOleGuid, libAttr->guid));
  EXPECT_EQ(2, libAttr->wMajorVerNum);
  EXPECT_EQ(0, libAttr->wMinorVerNum);
  stdole->ReleaseTLibAttr(libAttr);
}

TEST_F(TypeLibTest, ValueTypeMembers) {
  const struct {
    const char* name;
    LONG value;
    const char* help;
  } rows[] = {{"typeNumber", 1, "Number"},
              {"typePercent", 2, "Percentage"},
              {"typeBool", 3, "Boolean"},
              {"typeString", 4, "String"}};
  ComPtr<ITypeInfo> info = TypeNamed("VALUETYPE");
  ASSERT_TRUE(info);
  for (UINT i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].name);
    VarDesc var;
    ASSERT_HR_OK(info->GetVarDesc(i, var.put(info.get())));
    ASSERT_EQ(VAR_CONST, var->varkind);
    ASSERT_TRUE(V_VT(var->lpvarValue) == VT_I4 || V_VT(var->lpvarValue) == VT_INT);
    EXPECT_EQ(rows[i].value, V_I4(var->lpvarValue));
    EXPECT_NE(0, V_I4(var->lpvarValue));  // no member names the value 0
    const Documentation doc = DocumentationOf(info.get(), var->memid);
    EXPECT_EQ(rows[i].name, doc.name);
    EXPECT_EQ(rows[i].help, doc.doc);
    EXPECT_EQ(0u, doc.helpContext);
  }
}

}  // namespace
