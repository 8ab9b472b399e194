#include "platform/win32/win.h"

#include "platform/win32/win32_automation.h"

#include <ole2.h>
#include <oleauto.h>

#include <cstdio>

#include "platform/errors.h"
#include "platform/win32/win32_system.h"

namespace plat {

namespace {

// {00020400-0000-0000-C000-000000000046}
const IID kIID_IDispatch = {0x00020400, 0x0000, 0x0000,
                            {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

HMODULE SystemDll(const wchar_t* name) {
  HMODULE h = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return h ? h : LoadLibraryW(name);
}

// The COM and OLE Automation entry points, looked up once.
struct Ole {
  HRESULT(WINAPI* CoInitialize)(LPVOID) = nullptr;
  HRESULT(WINAPI* CLSIDFromProgID)(LPCOLESTR, LPCLSID) = nullptr;
  HRESULT(WINAPI* CoCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) = nullptr;
  BSTR(WINAPI* SysAllocStringLen)(const OLECHAR*, UINT) = nullptr;
  void(WINAPI* SysFreeString)(BSTR) = nullptr;
  UINT(WINAPI* SysStringLen)(BSTR) = nullptr;
  void(WINAPI* VariantInit)(VARIANTARG*) = nullptr;
  HRESULT(WINAPI* VariantClear)(VARIANTARG*) = nullptr;
  HRESULT(WINAPI* VariantChangeType)(VARIANTARG*, const VARIANTARG*, USHORT, VARTYPE) = nullptr;
  HRESULT(WINAPI* VarI4FromStr)(LPCOLESTR, LCID, ULONG, LONG*) = nullptr;
  bool ok = false;
};

template <class Fn>
void Bind(HMODULE dll, const char* name, Fn& fn, bool& ok) {
  fn = dll ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
  if (!fn) ok = false;
}

const Ole& Api() {
  static const Ole api = [] {
    Ole a;
    a.ok = true;
    HMODULE ole32 = SystemDll(L"ole32.dll");
    HMODULE oleaut32 = SystemDll(L"oleaut32.dll");
    Bind(ole32, "CoInitialize", a.CoInitialize, a.ok);
    Bind(ole32, "CLSIDFromProgID", a.CLSIDFromProgID, a.ok);
    Bind(ole32, "CoCreateInstance", a.CoCreateInstance, a.ok);
    Bind(oleaut32, "SysAllocStringLen", a.SysAllocStringLen, a.ok);
    Bind(oleaut32, "SysFreeString", a.SysFreeString, a.ok);
    Bind(oleaut32, "SysStringLen", a.SysStringLen, a.ok);
    Bind(oleaut32, "VariantInit", a.VariantInit, a.ok);
    Bind(oleaut32, "VariantClear", a.VariantClear, a.ok);
    Bind(oleaut32, "VariantChangeType", a.VariantChangeType, a.ok);
    Bind(oleaut32, "VarI4FromStr", a.VarI4FromStr, a.ok);
    return a;
  }();
  if (!api.ok) throw EAppError("The OLE libraries could not be loaded");
  return api;
}

// The system's text for an HRESULT, as an OLE system error shows it.
std::string ErrorMessage(HRESULT hr) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) {
    std::string code = "OLE error ";
    for (int shift = 28; shift >= 0; shift -= 4)
      code += "0123456789ABCDEF"[(static_cast<unsigned long>(hr) >> shift) & 0xF];
    return code;
  }
  return Narrow(text);
}

[[noreturn]] void Fail(HRESULT hr) { throw EAppError(ErrorMessage(hr)); }

std::string FromBstr(BSTR s) {
  return s ? Narrow(std::wstring(s, Api().SysStringLen(s))) : std::string();
}

BSTR ToBstr(const std::string& s) {
  std::wstring w = Widen(s);
  return Api().SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

IDispatch* AsDispatch(Handle h) { return reinterpret_cast<IDispatch*>(h); }

// A VARIANT cleared when the scope ends.
struct Variant {
  VARIANT v;
  Variant() { Api().VariantInit(&v); }
  ~Variant() { Api().VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// Member name -> DISPID, or EAppError with the server's answer.
DISPID DispId(IDispatch* object, const std::string& name) {
  if (!object) Fail(E_POINTER);
  std::wstring w = Widen(name);
  LPOLESTR names[1] = {w.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(kIID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) Fail(hr);
  return id;
}

// IDispatch::Invoke; a failure raises with the server's description when it
// gave one (an OLE exception), else with the system's text of the HRESULT.
void Invoke(IDispatch* object, const std::string& name, WORD flags,
            const std::vector<OleValue>& args, VARIANT& result) {
  DISPID id = DispId(object, name);
  // DISPPARAMS take the arguments last first.
  std::vector<VARIANTARG> v(args.size());
  for (auto& a : v) Api().VariantInit(&a);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OleValue& a = args[args.size() - 1 - i];
    VARIANTARG& out = v[i];
    switch (a.kind) {
      case OleValue::Kind::Empty: break;
      case OleValue::Kind::Int: out.vt = VT_I4; out.lVal = a.i; break;
      case OleValue::Kind::Text: out.vt = VT_BSTR; out.bstrVal = ToBstr(a.text); break;
      case OleValue::Kind::Object:
        out.vt = VT_DISPATCH;
        out.pdispVal = AsDispatch(a.object);
        if (out.pdispVal) out.pdispVal->AddRef();  // VariantClear releases it again
        break;
    }
  }
  DISPPARAMS params = {v.empty() ? nullptr : v.data(), nullptr, static_cast<UINT>(v.size()), 0};
  EXCEPINFO info = {};
  UINT argErr = 0;
  HRESULT hr = object->Invoke(id, kIID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result,
                              &info, &argErr);
  for (auto& a : v) Api().VariantClear(&a);
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    std::string description = FromBstr(info.bstrDescription);
    HRESULT code = info.scode ? info.scode : (info.wCode ? MAKE_HRESULT(1, FACILITY_ITF, info.wCode) : hr);
    Api().SysFreeString(info.bstrDescription);
    Api().SysFreeString(info.bstrSource);
    Api().SysFreeString(info.bstrHelpFile);
    while (!description.empty() && (description.back() == '\r' || description.back() == '\n'))
      description.pop_back();
    if (!description.empty()) throw EAppError(description);
    Fail(code);
  }
  if (FAILED(hr)) Fail(hr);
}

// A result as text, through the VARIANT conversion (numbers included).
std::string AsText(VARIANT& result) {
  if (result.vt == VT_BSTR) return FromBstr(result.bstrVal);
  Variant text;
  HRESULT hr = Api().VariantChangeType(&text.v, &result, 0, VT_BSTR);
  if (FAILED(hr)) Fail(hr);
  return FromBstr(text.v.bstrVal);
}

// A returned object changes hands: the caller owns the reference.
OleValue TakeObject(VARIANT& result) {
  OleValue o;
  o.kind = OleValue::Kind::Object;
  o.object = reinterpret_cast<Handle>(result.pdispVal);
  result.pdispVal = nullptr;
  result.vt = VT_EMPTY;
  return o;
}

}  // namespace

long Win32Automation::CoInitialize() {
  HRESULT hr = Api().CoInitialize(nullptr);
  if (SUCCEEDED(hr)) initialised_ = true;
  return hr;
}

Handle Win32Automation::CreateOleObject(const std::string& progId) {
  const Ole& api = Api();
  if (!initialised_) CoInitialize();
  CLSID clsid;
  HRESULT hr = api.CLSIDFromProgID(Widen(progId).c_str(), &clsid);
  if (FAILED(hr)) Fail(hr);
  void* object = nullptr;
  hr = api.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            kIID_IDispatch, &object);
  if (FAILED(hr)) Fail(hr);
  if (!object) Fail(E_NOINTERFACE);
  return reinterpret_cast<Handle>(object);
}

OleValue Win32Automation::GetProperty(Handle object, const std::string& name) {
  Variant result;
  Invoke(AsDispatch(object), name, DISPATCH_PROPERTYGET, {}, result.v);
  if (result.v.vt == VT_DISPATCH) return TakeObject(result.v);
  return OleValue::Text(AsText(result.v));
}

OleValue Win32Automation::CallMethod(Handle object, const std::string& name,
                                     const std::vector<OleValue>& args) {
  Variant result;
  Invoke(AsDispatch(object), name, DISPATCH_METHOD, args, result.v);
  switch (result.v.vt) {
    case VT_EMPTY:
      return OleValue();
    case VT_DISPATCH:
      return TakeObject(result.v);
    case VT_I1: case VT_I2: case VT_I4: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT: case VT_BOOL: {
      Variant i4;
      if (SUCCEEDED(Api().VariantChangeType(&i4.v, &result.v, 0, VT_I4))) return OleValue::Int(i4.v.lVal);
      return OleValue::Text(AsText(result.v));
    }
    default:
      return OleValue::Text(AsText(result.v));
  }
}

void Win32Automation::Release(Handle object) {
  if (object) AsDispatch(object)->Release();
}

long Win32Automation::VarI4FromStr(const std::string& text, std::int32_t& value) {
  std::wstring w = Widen(text);
  LONG v = 0;
  HRESULT hr = Api().VarI4FromStr(const_cast<LPOLESTR>(w.c_str()), LOCALE_USER_DEFAULT, 0, &v);
  if (SUCCEEDED(hr)) value = v;
  return hr;
}

}  // namespace plat
