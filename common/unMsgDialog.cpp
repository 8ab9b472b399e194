#include "common/unMsgDialog.h"

#include "common/unLang.h"
#include "platform/system.h"

using namespace plat;

void MsgHint(const std::string& textA, const std::string& textB, const std::string& textC,
             bool raw, const std::string& caption) {
  const std::string text = raw ? textA : LangText(textA, textB, textC);
  const std::string title = !caption.empty() ? caption : LangText("提示", "提示", "Hint");
  sys().MessageBox(text, title, w::MbOk | w::MbIconInformation);  // style 64
}

int MsgConfirm(const std::string& textA, const std::string& textB, const std::string& textC) {
  const std::string title = LangText("确认", "確認", "Confirm");
  const std::string text = LangText(textA, textB, textC);
  return sys().MessageBox(text, title, w::MbYesNo | w::MbIconQuestion);  // style 36
}
