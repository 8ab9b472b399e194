// In-process automation server standing in for Excel and WPS under Wine.
// One class per CLSID below; the test registers them under
// "Excel.Application" and "Ket.Application". What an object answers comes
// from HKCU\Software\Tenvox\ExcelSim (REG_SZ values):
//   ExcelFail / KetFail   "create", "Version", "ProductCode" or "Quit": fail there
//   Version, ProductCode  Excel's answers
//   Log                   file to which "create <name>", "quit <name>" and
//                         "release <name>" lines are appended
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace {

const CLSID kExcel = {0xB1A9C6E2, 0x1111, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0xA1}};
const CLSID kKet = {0xB1A9C6E2, 0x1111, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0xA2}};

LONG g_objects = 0;

std::wstring Setting(const wchar_t* name) {
  wchar_t buf[512];
  DWORD size = sizeof buf;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tenvox\\ExcelSim", name, RRF_RT_REG_SZ,
                   nullptr, buf, &size) != ERROR_SUCCESS)
    return L"";
  return buf;
}

void Log(const std::wstring& line) {
  std::wstring file = Setting(L"Log");
  if (file.empty()) return;
  HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string s;
  for (wchar_t c : line) s += static_cast<char>(c);
  s += "\r\n";
  DWORD n = 0;
  WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &n, nullptr);
  CloseHandle(h);
}

enum : DISPID { kVersion = 1, kProductCode = 2, kQuit = 3 };

class App final : public IDispatch {
 public:
  explicit App(const wchar_t* name) : name_(name) {
    InterlockedIncrement(&g_objects);
    Log(L"create " + name_);
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
      Log(L"release " + name_);
      InterlockedDecrement(&g_objects);
      delete this;
    }
    return n;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    struct { const wchar_t* name; DISPID id; } members[] = {
        {L"Version", kVersion}, {L"ProductCode", kProductCode}, {L"Quit", kQuit}};
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (auto& m : members)
        if (lstrcmpiW(names[i], m.name) == 0) ids[i] = m.id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                      EXCEPINFO* info, UINT*) override {
    const wchar_t* member = id == kVersion ? L"Version" : id == kProductCode ? L"ProductCode"
                            : id == kQuit ? L"Quit" : nullptr;
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (Setting(name_ == L"Excel" ? L"ExcelFail" : L"KetFail") == member) {
      if (info) {
        *info = {};
        info->scode = E_FAIL;
        info->bstrDescription = SysAllocString((name_ + L": " + member + L" failed").c_str());
      }
      return DISP_E_EXCEPTION;
    }
    if (id == kQuit) {
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      Log(L"quit " + name_);
      return S_OK;
    }
    if (!(flags & DISPATCH_PROPERTYGET) || name_ != L"Excel") return DISP_E_MEMBERNOTFOUND;
    if (result) {
      VariantInit(result);
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(Setting(member).c_str());
    }
    return S_OK;
  }

 private:
  std::wstring name_;
  LONG refs_ = 1;
};

class Factory final : public IClassFactory {
 public:
  explicit Factory(const wchar_t* name) : name_(name) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (Setting(name_ == std::wstring(L"Excel") ? L"ExcelFail" : L"KetFail") == L"create") {
      Log(std::wstring(L"refuse ") + name_);
      return CO_E_SERVER_EXEC_FAILURE;
    }
    App* app = new App(name_);
    HRESULT hr = app->QueryInterface(iid, out);
    app->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  const wchar_t* name_;
};

Factory g_excel(L"Excel");
Factory g_ket(L"Ket");

}  // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid == kExcel) return g_excel.QueryInterface(iid, out);
  if (clsid == kKet) return g_ket.QueryInterface(iid, out);
  *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
