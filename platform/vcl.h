// The window toolkit: portable models of forms and controls, the
// application object with its message loop, idle handler, timers and
// message boxes.
//
// A control is a model object holding the properties the programs use. A
// backend mirrors the models into windows: the Win32 backend shows them as
// real standard controls; the headless backend (on the simulated machine)
// keeps them as they are, so tests click, read properties and let timers fire
// on the simulated clock. Every property write that changes nothing is
// ignored: it neither touches the window nor asks for a repaint.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace vcl {

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// A handler bound to an object, as the application's idle event holds it:
// comparable by the object it is bound to, and possibly empty.
struct TIdleEvent {
  const void* object = nullptr;
  std::function<void(TObject* sender, bool& done)> code;
  explicit operator bool() const { return static_cast<bool>(code); }
};

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

// Colours: system colours as the toolkit writes them (0xFF000000 | index).
using TColor = std::uint32_t;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clBtnShadow = 0xFF000010;
inline constexpr TColor clBtnHighlight = 0xFF000014;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr int kAnsiCharset = 0;
inline constexpr int kDefaultCharset = 1;

// Font settings. Height is the character height in pixels, negative as the
// Windows LOGFONT stores it; Size is in points at 96 pixels per inch.
struct TFont {
  std::string Name = "宋体";
  int Height = -12;
  int Charset = kAnsiCharset;
  TColor Color = clWindowText;

  int Size() const { return (-Height * 72 + 48) / 96; }
  void SetSize(int points) { Height = -((points * 96 + 36) / 72); }
  bool operator==(const TFont&) const = default;
};

// A device-independent picture: 32-bit pixels 0x00RRGGBB, top row first.
struct TBitmap {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
  bool Empty() const { return Width <= 0 || Height <= 0; }
  bool operator==(const TBitmap&) const = default;
};

// What a backend can be told to bring up to date.
enum class Prop { Bounds, Caption, Enabled, Visible, Font, Checked, Items, ItemIndex, Picture,
                  Color };

class TWinControl;
class TForm;
class TCanvas;

class TControl : public TObject {
 public:
  TControl(TWinControl* parent, std::string name, int id);
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const { return name_; }
  int Id() const { return id_; }
  TWinControl* Parent() const { return parent_; }
  TForm* Form() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int v) { tabOrder_ = v; }

  // The font: the parent's while ParentFont holds, else its own.
  const TFont& Font() const;
  void SetFont(const TFont& font);
  bool ParentFont() const { return parentFont_; }

  TNotifyEvent OnClick;
  // The control's click: runs OnClick (buttons and radio buttons add their own).
  virtual void Click();

  // For the backend: the window it made for this control.
  void* peer = nullptr;

 protected:
  void Changed(Prop what);
  virtual void FontChanged();

 private:
  friend class TWinControl;
  TWinControl* parent_;
  std::string name_;
  int id_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  int tabOrder_ = -1;
  bool parentFont_ = true;
  TFont font_;
};

class TWinControl : public TControl {
 public:
  using TControl::TControl;
  const std::vector<TControl*>& Controls() const { return controls_; }

 protected:
  void FontChanged() override;

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
  bool AutoSize() const { return autoSize_; }
  // Turning AutoSize on fits the label to its caption in its font.
  void SetAutoSize(bool v);

 private:
  bool autoSize_ = true;
};

class TButton : public TControl {
 public:
  using TControl::TControl;
  bool Default = false;   // Enter presses it
  bool Cancel = false;    // Esc presses it
  int ModalResult = mrNone;
  bool HotTrack = true;
  void Click() override;
};

class TRadioButton : public TControl {
 public:
  using TControl::TControl;
  bool Checked() const { return checked_; }
  // Checking clears the other radio buttons of the same parent and then
  // runs OnClick; a write that changes nothing runs nothing.
  void SetChecked(bool v);
  void Click() override { SetChecked(true); }

 private:
  bool checked_ = false;
};

class TComboBox : public TControl {
 public:
  using TControl::TControl;
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return itemIndex_; }
  // Setting the index from code runs no event.
  void SetItemIndex(int i);
  TNotifyEvent OnChange;
  // The user picks an item: the index changes, then OnChange runs.
  void Select(int i);

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

class TImage : public TControl {
 public:
  using TControl::TControl;
  const TBitmap& Picture() const { return picture_; }
  // Only the content changes: the picture stays the same object.
  void SetPicture(const TBitmap& bmp);
  // Pixels of the bottom-left pixel's colour are not drawn.
  bool Transparent = false;

 private:
  TBitmap picture_;
};

class TShape : public TControl {
 public:
  using TControl::TControl;
  TColor PenColor = clBlack;
  TColor BrushColor = clWhite;
};

// Drawing surface handed to a custom control's Paint.
class TCanvas {
 public:
  virtual ~TCanvas() = default;
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;
  TColor PenColor = clBlack;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
};

// A windowed control with its own canvas and a virtual Paint.
class TCustomControl : public TWinControl {
 public:
  using TWinControl::TWinControl;
  virtual void Paint(TCanvas& canvas);
  // Asks the backend for a repaint.
  void Invalidate();
};

class TTimer : public TObject {
 public:
  explicit TTimer(TForm* owner, std::string name);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  TNotifyEvent OnTimer;
  const std::string& Name() const { return name_; }
  TForm* Owner() const { return owner_; }

  void* peer = nullptr;

 private:
  friend class TForm;
  void Update();
  TForm* owner_;
  std::string name_;
  bool enabled_ = true;
  int interval_ = 1000;
};

enum class TBorderStyle { bsSizeable, bsDialog };
enum class TPosition { poDesigned, poScreenCenter, poMainFormCenter };

class TForm : public TWinControl {
 public:
  explicit TForm(std::string name);
  ~TForm() override;

  // Runs OnCreate; the derived constructor calls it once its controls exist.
  void DoCreate();

  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientSize(int w, int h);
  TColor Color = clBtnFace;
  TBorderStyle BorderStyle = TBorderStyle::bsDialog;
  TPosition Position = TPosition::poDesigned;

  int ModalResult = mrNone;
  bool Showing() const { return showing_; }
  bool Modal() const { return modal_; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  std::function<void(TObject* sender, TCloseAction& action)> OnClose;
  std::function<void(TObject* sender, bool& canClose)> OnCloseQuery;

  void Show();
  int ShowModal();
  // Closes the form: a modal form gets mrCancel; otherwise OnCloseQuery may
  // refuse, OnClose picks the action, and closing the main form ends the
  // application.
  void Close();
  void Hide();

  // Keyboard order: the controls by TabOrder.
  std::vector<TControl*> TabOrderList() const;
  // All controls of the form, depth first.
  std::vector<TControl*> AllControls() const;
  std::vector<TTimer*> Timers() const { return timers_; }

 private:
  friend class TTimer;
  bool CloseQuery();
  int clientWidth_ = 0, clientHeight_ = 0;
  bool showing_ = false;
  bool modal_ = false;
  std::vector<TTimer*> timers_;
};

class Backend;

class TApplication : public TObject {
 public:
  explicit TApplication(Backend& backend);
  ~TApplication() override;

  std::string Title;
  TForm* MainForm = nullptr;
  TIdleEvent OnIdle;

  // Registers the main form (the first one created) and shows it.
  void Run();
  bool Terminated() const { return terminated_; }
  // Asks the application to end: only posts the request; running code goes on.
  void Terminate();
  // Takes one message from the queue, or idles and waits when none is there.
  void HandleMessage();
  // Runs everything that is in the queue now.
  void ProcessMessages();

  // The Windows message box over the active window; style and result
  // numbers as MessageBoxW's.
  int MessageBox(const std::string& text, const std::string& caption, std::uint32_t style);

  // Runs an event handler as the application does: an error that escapes
  // it is shown in an error box and goes no further.
  void Invoke(const std::function<void()>& handler);
  void ShowException(const std::exception& e);

  Backend& backend() { return backend_; }
  // The application's handling of a message before it is dispatched (the
  // dialog keys of its windows); true when it took the message.
  bool PreTranslate(const plat::Msg& msg);

 private:
  bool ProcessMessage();
  void Idle();
  Backend& backend_;
  bool terminated_ = false;
};

// The one application object of the program.
extern TApplication* Application;

// What the toolkit needs from whatever shows the forms.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual void FormShown(TForm& form) = 0;    // create (once) and show
  virtual void FormHidden(TForm& form) = 0;
  virtual void FormDestroyed(TForm& form) = 0;
  virtual void BeginModal(TForm& form) = 0;  // disable the other forms
  virtual void EndModal(TForm& form) = 0;
  virtual void ControlChanged(TControl& control, Prop what) = 0;
  virtual void ControlDestroyed(TControl& control) = 0;
  virtual void Invalidate(TCustomControl& control) = 0;
  virtual void TimerChanged(TTimer& timer) = 0;  // start, stop or restart
  virtual void TimerDestroyed(TTimer& timer) = 0;
  // The fitting size of a label's caption in its font.
  virtual void MeasureLabel(TLabel& label, int& width, int& height) = 0;
  // Keyboard navigation (Tab, Enter, Esc) before a message is dispatched.
  virtual bool PreTranslate(const void* msg) = 0;
  // The outer size of a form with the given client size.
  virtual void OuterSize(const TForm& form, int& width, int& height) = 0;
};

// Runs a control's user action through the application's error handling,
// as a real click does.
void UserClick(TControl& control);
void UserSelect(TComboBox& combo, int index);

}  // namespace vcl

namespace vcl {
// Makes a form the way the toolkit loads one: builds it, then runs its
// creation handler (so that virtual operations of the derived form apply).
template <class T, class... Args>
std::unique_ptr<T> CreateForm(Args&&... args) {
  auto form = std::make_unique<T>(std::forward<Args>(args)...);
  form->DoCreate();
  return form;
}
}  // namespace vcl
