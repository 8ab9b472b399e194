#include "common/unLang.h"

#include "common/unReg_File.h"

std::string sCurLang;
bool bLangRead = false;
bool bLangA = false;
bool bLangB = false;
bool bLangC = false;

std::string GetLangFlag() {
  if (bLangRead) return sCurLang;
  // A registry error passes through; bLangRead stays false so the next call
  // tries again.
  std::string code = ReadUserRegString("SoftWare\\Tenvox", "CurLang");
  sCurLang = code.empty() ? "A" : code;
  bLangA = sCurLang == "A";
  bLangB = sCurLang == "B";
  bLangC = sCurLang == "C";
  bLangRead = true;
  return sCurLang;
}

std::string LangText(const std::string& textA, const std::string& textB,
                     const std::string& textC) {
  const std::string& chosen = bLangA ? textA : bLangB ? textB : textC;
  return chosen.empty() ? textA : chosen;
}
