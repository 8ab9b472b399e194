#include "platform/win32/win.h"

#include "platform/win32/win32_backend.h"


#include <algorithm>
#include <vector>

#include "platform/system.h"
#include "platform/win32/win32_system.h"

namespace plat {

namespace {

constexpr wchar_t kCustomClass[] = L"TCustomControl";
constexpr wchar_t kAppClass[] = L"TApplication";
constexpr UINT_PTR kFirstTimer = 100;

COLORREF ToColorRef(vcl::TColor c) {
  if (c & 0xFF000000u) return GetSysColor(static_cast<int>(c & 0xFF));
  return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// The toolkit writes an RGB colour as 0x00BBGGRR; our TColor constants are
// 0x00RRGGBB for pictures. Only system colours and black/white reach here.
HBRUSH BrushFor(vcl::TColor c) {
  if (c & 0xFF000000u) return GetSysColorBrush(static_cast<int>(c & 0xFF));
  return c == vcl::clWhite ? static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))
                           : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

DWORD FormStyle(const vcl::TForm& f) {
  return f.BorderStyle == vcl::TBorderStyle::bsDialog
             ? WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN
             : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

DWORD FormExStyle(const vcl::TForm& f) {
  DWORD ex = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
  if (f.BorderStyle == vcl::TBorderStyle::bsDialog) ex |= WS_EX_DLGMODALFRAME;
  return ex;
}

// A canvas over a device context, starting with the toolkit's default
// canvas font (Tahoma, 8 points).
class DcCanvas : public vcl::TCanvas {
 public:
  explicit DcCanvas(HDC dc) : dc_(dc) {
    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        L"Tahoma");
    old_ = SelectObject(dc_, font_);
  }
  ~DcCanvas() override {
    SelectObject(dc_, old_);
    DeleteObject(font_);
    if (pen_) DeleteObject(pen_);
  }
  int TextWidth(const std::string& text) override { return Extent(text).cx; }
  int TextHeight(const std::string& text) override { return Extent(text).cy; }
  void MoveTo(int x, int y) override { MoveToEx(dc_, x, y, nullptr); }
  void LineTo(int x, int y) override {
    HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(PenColor));
    HGDIOBJ old = SelectObject(dc_, pen);
    ::LineTo(dc_, x, y);
    SelectObject(dc_, old);
    DeleteObject(pen);
  }

 private:
  SIZE Extent(const std::string& text) {
    const std::wstring w = Widen(text);
    SIZE s{0, 0};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &s);
    if (w.empty()) {
      TEXTMETRICW tm;
      GetTextMetricsW(dc_, &tm);
      s.cy = tm.tmHeight;
    }
    return s;
  }
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
  HPEN pen_ = nullptr;
};

}  // namespace

struct Win32Backend::Impl {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND appWindow = nullptr;
  std::map<std::wstring, bool> formClasses;
  std::map<std::wstring, HFONT> fonts;  // by face and height
  std::map<HWND, vcl::TControl*> byWindow;
  std::map<UINT_PTR, vcl::TTimer*> timers;
  std::map<const vcl::TTimer*, UINT_PTR> timerIds;
  UINT_PTR nextTimer = kFirstTimer;
  std::vector<HWND> disabledForModal;

  static Impl* self;

  static HWND Hwnd(const vcl::TControl& c) { return static_cast<HWND>(c.peer); }

  HFONT FontFor(const vcl::TFont& f) {
    const std::wstring key =
        Widen(f.Name + "|" + std::to_string(f.Height) + "|" + std::to_string(f.Charset));
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    HFONT h = CreateFontW(f.Height, 0, 0, 0, FW_NORMAL, 0, 0, 0, static_cast<BYTE>(f.Charset),
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, Widen(f.Name).c_str());
    fonts[key] = h;
    return h;
  }

  vcl::TControl* ControlOf(HWND h) {
    auto it = byWindow.find(h);
    return it == byWindow.end() ? nullptr : it->second;
  }

  vcl::TForm* FormOf(HWND h) { return dynamic_cast<vcl::TForm*>(ControlOf(h)); }

  void RegisterClasses() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpfnWndProc = CustomProc;
    wc.lpszClassName = kCustomClass;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = AppProc;
    wc.lpszClassName = kAppClass;
    wc.style = 0;
    RegisterClassExW(&wc);
    appWindow = CreateWindowExW(0, kAppClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                                nullptr);
  }

  const wchar_t* FormClass(const vcl::TForm& f) {
    static std::wstring name;
    name = L"T" + Widen(f.Name());
    if (!formClasses[name]) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.hInstance = instance;
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
      wc.hIconSm = wc.hIcon;
      wc.lpfnWndProc = FormProc;
      wc.lpszClassName = name.c_str();
      RegisterClassExW(&wc);
      formClasses[name] = true;
    }
    return name.c_str();
  }

  void CreateControl(vcl::TControl& c, HWND parent, bool groupStart) {
    if (c.peer) return;
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD;
    if (auto* b = dynamic_cast<vcl::TButton*>(&c)) {
      cls = L"BUTTON";
      style |= (b->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
    } else if (dynamic_cast<vcl::TRadioButton*>(&c)) {
      cls = L"BUTTON";
      style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
    } else if (dynamic_cast<vcl::TComboBox*>(&c)) {
      cls = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    } else if (dynamic_cast<vcl::TLabel*>(&c)) {
      style |= SS_LEFT | SS_NOPREFIX;
    } else {
      cls = kCustomClass;  // images, shapes, custom controls
    }
    if (groupStart) style |= WS_GROUP;
    if (c.Visible()) style |= WS_VISIBLE;
    if (!c.Enabled()) style |= WS_DISABLED;
    const bool combo = dynamic_cast<vcl::TComboBox*>(&c) != nullptr;
    HWND h = CreateWindowExW(0, cls, Widen(c.Caption()).c_str(), style, c.Left(), c.Top(),
                             c.Width(), combo ? 200 : c.Height(), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.Id())), instance,
                             nullptr);
    c.peer = h;
    byWindow[h] = &c;
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.Font())), FALSE);
    if (auto* r = dynamic_cast<vcl::TRadioButton*>(&c))
      SendMessageW(h, BM_SETCHECK, r->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    if (auto* cb = dynamic_cast<vcl::TComboBox*>(&c)) FillCombo(*cb);
    if (auto* w = dynamic_cast<vcl::TWinControl*>(&c))
      for (vcl::TControl* child : w->Controls()) CreateControl(*child, h, false);
  }

  void FillCombo(vcl::TComboBox& cb) {
    HWND h = Hwnd(cb);
    SendMessageW(h, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : cb.Items())
      SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(cb.ItemIndex()), 0);
  }

  void CreateForm(vcl::TForm& f) {
    RECT r{0, 0, f.ClientWidth(), f.ClientHeight()};
    AdjustWindowRectEx(&r, FormStyle(f), FALSE, FormExStyle(f));
    const int w = r.right - r.left, h = r.bottom - r.top;
    // Centred on the screen's work area (over the main form for a dialog).
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    HWND owner = nullptr;
    if (vcl::Application && vcl::Application->MainForm && vcl::Application->MainForm != &f &&
        vcl::Application->MainForm->peer) {
      owner = Hwnd(*vcl::Application->MainForm);
      if (f.Position == vcl::TPosition::poMainFormCenter) GetWindowRect(owner, &area);
    }
    const int x = area.left + (area.right - area.left - w) / 2;
    const int y = area.top + (area.bottom - area.top - h) / 2;
    HWND hwnd = CreateWindowExW(FormExStyle(f), FormClass(f), Widen(f.Caption()).c_str(),
                                FormStyle(f), x, y, w, h, owner, nullptr, instance, nullptr);
    f.peer = hwnd;
    byWindow[hwnd] = &f;
    f.SetBounds(x, y, w, h);
    // Children in keyboard order first (the dialog manager tabs in z-order);
    // a run of radio buttons forms one group.
    std::vector<vcl::TControl*> order = f.TabOrderList();
    for (vcl::TControl* c : f.Controls())
      if (std::find(order.begin(), order.end(), c) == order.end()) order.push_back(c);
    bool prevRadio = false;
    for (vcl::TControl* c : order) {
      const bool radio = dynamic_cast<vcl::TRadioButton*>(c) != nullptr;
      CreateControl(*c, hwnd, c->TabOrder() >= 0 && !(radio && prevRadio));
      prevRadio = radio;
    }
  }

  void Destroy(vcl::TControl& c) {
    if (!c.peer) return;
    HWND h = Hwnd(c);
    byWindow.erase(h);
    c.peer = nullptr;
    if (IsWindow(h)) DestroyWindow(h);
  }

  // --- events from the windows ---

  static void Run(const std::function<void()>& f) {
    if (vcl::Application) vcl::Application->Invoke(f);
  }

  LRESULT Command(HWND hwnd, WPARAM wp, LPARAM lp) {
    const int id = LOWORD(wp);
    const int code = HIWORD(wp);
    vcl::TControl* c = lp ? ControlOf(reinterpret_cast<HWND>(lp)) : nullptr;
    vcl::TForm* form = FormOf(hwnd);
    if (!c && form && (id == IDOK || id == IDCANCEL)) {
      // Enter and Esc from the dialog manager: the Default / Cancel button.
      for (vcl::TControl* x : form->AllControls())
        if (auto* b = dynamic_cast<vcl::TButton*>(x);
            b && b->Visible() && b->Enabled() && (id == IDOK ? b->Default : b->Cancel)) {
          Run([b] { b->Click(); });
          return 0;
        }
      return 0;
    }
    if (!c) return 0;
    if (auto* r = dynamic_cast<vcl::TRadioButton*>(c)) {
      if (code == BN_CLICKED) Run([r] { r->SetChecked(true); });
    } else if (auto* b = dynamic_cast<vcl::TButton*>(c)) {
      if (code == BN_CLICKED && b->Enabled()) Run([b] { b->Click(); });
    } else if (auto* cb = dynamic_cast<vcl::TComboBox*>(c)) {
      if (code == CBN_SELCHANGE) {
        const int i = static_cast<int>(SendMessageW(Hwnd(*cb), CB_GETCURSEL, 0, 0));
        Run([cb, i] { cb->Select(i); });
      }
    }
    return 0;
  }

  LRESULT ColorStatic(HWND hwnd, HDC dc) {
    vcl::TControl* c = ControlOf(hwnd);
    vcl::TForm* f = c ? c->Form() : nullptr;
    const vcl::TColor color = f ? f->Color : vcl::clBtnFace;
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, ToColorRef(color));
    return reinterpret_cast<LRESULT>(BrushFor(color));
  }

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Impl* s = self;
    switch (msg) {
      case WM_COMMAND:
        return s->Command(hwnd, wp, lp);
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
        return s->ColorStatic(hwnd, reinterpret_cast<HDC>(wp));
      case WM_ERASEBKGND: {
        vcl::TForm* f = s->FormOf(hwnd);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BrushFor(f ? f->Color : vcl::clBtnFace));
        return 1;
      }
      case WM_CLOSE:
        if (vcl::TForm* f = s->FormOf(hwnd)) Run([f] { f->Close(); });
        return 0;
      default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  static LRESULT CALLBACK CustomProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Impl* s = self;
    switch (msg) {
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
        return s->ColorStatic(hwnd, reinterpret_cast<HDC>(wp));
      case WM_ERASEBKGND: {
        vcl::TControl* c = s->ControlOf(hwnd);
        vcl::TForm* f = c ? c->Form() : nullptr;
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BrushFor(f ? f->Color : vcl::clBtnFace));
        return 1;
      }
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (vcl::TControl* c = s->ControlOf(hwnd)) s->PaintControl(*c, dc);
        EndPaint(hwnd, &ps);
        return 0;
      }
      default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  void PaintControl(vcl::TControl& c, HDC dc) {
    if (auto* img = dynamic_cast<vcl::TImage*>(&c)) {
      const vcl::TBitmap& b = img->Picture();
      if (b.Empty()) return;
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof bi.bmiHeader;
      bi.bmiHeader.biWidth = b.Width;
      bi.bmiHeader.biHeight = -b.Height;  // top row first
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      bi.bmiHeader.biCompression = BI_RGB;
      const std::uint32_t* pixels = b.Pixels.data();
      std::vector<std::uint32_t> keyed;
      if (img->Transparent) {
        // The key colour (the bottom-left pixel) shows the form's background.
        const std::uint32_t key = b.Pixels[static_cast<std::size_t>(b.Height - 1) * b.Width];
        const COLORREF bg = ToColorRef(c.Form() ? c.Form()->Color : vcl::clBtnFace);
        const std::uint32_t back = (GetRValue(bg) << 16) | (GetGValue(bg) << 8) | GetBValue(bg);
        keyed = b.Pixels;
        for (std::uint32_t& p : keyed)
          if (p == key) p = back;
        pixels = keyed.data();
      }
      SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(b.Width), static_cast<DWORD>(b.Height), 0, 0,
                        0, static_cast<UINT>(b.Height), pixels, &bi, DIB_RGB_COLORS);
    } else if (auto* shape = dynamic_cast<vcl::TShape*>(&c)) {
      HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(shape->PenColor));
      HGDIOBJ oldPen = SelectObject(dc, pen);
      HGDIOBJ oldBrush = SelectObject(dc, BrushFor(shape->BrushColor));
      Rectangle(dc, 0, 0, shape->Width(), shape->Height());
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
      DeleteObject(pen);
    } else if (auto* cc = dynamic_cast<vcl::TCustomControl*>(&c)) {
      DcCanvas canvas(dc);
      Run([&] { cc->Paint(canvas); });
    }
  }

  static LRESULT CALLBACK AppProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
      auto it = self->timers.find(wp);
      if (it != self->timers.end()) {
        vcl::TTimer* t = it->second;
        if (t->OnTimer) Run([t] { t->OnTimer(t); });
      }
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
};

Win32Backend::Impl* Win32Backend::Impl::self = nullptr;

Win32Backend::Win32Backend() : impl_(new Impl) {
  Impl::self = impl_;
  // Buttons, statics and lists come from Common Controls 6 through the
  // manifest's activation context; nothing else of comctl32 is used.
  impl_->RegisterClasses();
}

Win32Backend::~Win32Backend() {
  for (auto& [key, font] : impl_->fonts) DeleteObject(font);
  if (impl_->appWindow) DestroyWindow(impl_->appWindow);
  Impl::self = nullptr;
  delete impl_;
}

void Win32Backend::FormShown(vcl::TForm& form) {
  if (!form.peer) impl_->CreateForm(form);
  HWND h = Impl::Hwnd(form);
  ShowWindow(h, SW_SHOWNORMAL);
  UpdateWindow(h);
  SetForegroundWindow(h);
  // Focus the first control in keyboard order that can take it.
  for (vcl::TControl* c : form.TabOrderList())
    if (c->peer && c->Visible() && c->Enabled()) {
      SetFocus(Impl::Hwnd(*c));
      break;
    }
}

void Win32Backend::FormHidden(vcl::TForm& form) {
  if (form.peer) ShowWindow(Impl::Hwnd(form), SW_HIDE);
}

void Win32Backend::FormDestroyed(vcl::TForm& form) {
  for (vcl::TControl* c : form.AllControls()) {
    impl_->byWindow.erase(Impl::Hwnd(*c));
    c->peer = nullptr;
  }
  impl_->Destroy(form);
}

void Win32Backend::BeginModal(vcl::TForm& form) {
  for (auto& [h, c] : impl_->byWindow)
    if (auto* f = dynamic_cast<vcl::TForm*>(c); f && f != &form && IsWindowEnabled(h)) {
      EnableWindow(h, FALSE);
      impl_->disabledForModal.push_back(h);
    }
}

void Win32Backend::EndModal(vcl::TForm&) {
  for (HWND h : impl_->disabledForModal)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  impl_->disabledForModal.clear();
}

void Win32Backend::ControlChanged(vcl::TControl& c, vcl::Prop what) {
  HWND h = Impl::Hwnd(c);
  if (!h) return;
  switch (what) {
    case vcl::Prop::Bounds:
      if (dynamic_cast<vcl::TForm*>(&c)) {
        SetWindowPos(h, nullptr, c.Left(), c.Top(), c.Width(), c.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
      } else {
        const int height = dynamic_cast<vcl::TComboBox*>(&c) ? 200 : c.Height();
        SetWindowPos(h, nullptr, c.Left(), c.Top(), c.Width(), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    case vcl::Prop::Caption:
      SetWindowTextW(h, Widen(c.Caption()).c_str());
      break;
    case vcl::Prop::Enabled:
      EnableWindow(h, c.Enabled());
      break;
    case vcl::Prop::Visible:
      ShowWindow(h, c.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case vcl::Prop::Font:
      if (!dynamic_cast<vcl::TForm*>(&c))
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(impl_->FontFor(c.Font())), TRUE);
      break;
    case vcl::Prop::Checked:
      if (auto* r = dynamic_cast<vcl::TRadioButton*>(&c))
        SendMessageW(h, BM_SETCHECK, r->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case vcl::Prop::Items:
    case vcl::Prop::ItemIndex:
      if (auto* cb = dynamic_cast<vcl::TComboBox*>(&c)) {
        if (what == vcl::Prop::Items) impl_->FillCombo(*cb);
        else SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(cb->ItemIndex()), 0);
      }
      break;
    case vcl::Prop::Picture:
    case vcl::Prop::Color:
      InvalidateRect(h, nullptr, TRUE);
      break;
  }
}

void Win32Backend::ControlDestroyed(vcl::TControl& c) { impl_->Destroy(c); }

void Win32Backend::Invalidate(vcl::TCustomControl& c) {
  if (c.peer) InvalidateRect(Impl::Hwnd(c), nullptr, TRUE);
}

void Win32Backend::TimerChanged(vcl::TTimer& t) {
  auto it = impl_->timerIds.find(&t);
  UINT_PTR id;
  if (it == impl_->timerIds.end()) {
    id = impl_->nextTimer++;
    impl_->timerIds[&t] = id;
    impl_->timers[id] = &t;
  } else {
    id = it->second;
  }
  KillTimer(impl_->appWindow, id);
  if (t.Enabled() && t.Interval() > 0)
    SetTimer(impl_->appWindow, id, static_cast<UINT>(t.Interval()), nullptr);
}

void Win32Backend::TimerDestroyed(vcl::TTimer& t) {
  auto it = impl_->timerIds.find(&t);
  if (it == impl_->timerIds.end()) return;
  KillTimer(impl_->appWindow, it->second);
  impl_->timers.erase(it->second);
  impl_->timerIds.erase(it);
}

void Win32Backend::MeasureLabel(vcl::TLabel& label, int& width, int& height) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, impl_->FontFor(label.Font()));
  const std::wstring text = Widen(label.Caption());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  width = text.empty() ? 0 : r.right - r.left;
  height = r.bottom - r.top;
}

bool Win32Backend::PreTranslate(const void* msg) {
  const auto* m = static_cast<const Msg*>(msg);
  if (!m->hwnd) return false;
  HWND root = GetAncestor(reinterpret_cast<HWND>(m->hwnd), GA_ROOT);
  if (!root || !impl_->FormOf(root)) return false;
  MSG real;
  real.hwnd = reinterpret_cast<HWND>(m->hwnd);
  real.message = m->message;
  real.wParam = m->wParam;
  real.lParam = m->lParam;
  real.time = m->time;
  real.pt.x = m->ptX;
  real.pt.y = m->ptY;
  return IsDialogMessageW(root, &real) != FALSE;
}

void Win32Backend::OuterSize(const vcl::TForm& form, int& width, int& height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, FormStyle(form), FALSE, FormExStyle(form));
  width = r.right - r.left;
  height = r.bottom - r.top;
}

}  // namespace plat
