// The two message boxes through which every message reaches the user.
#pragma once

#include <string>

// Information box (OK only). With `raw` the first text is shown unchanged in
// every language; a non-empty `caption` is used as it stands.
void MsgHint(const std::string& textA, const std::string& textB, const std::string& textC,
             bool raw = false, const std::string& caption = "");

// Yes/No question; 6 for Yes, 7 for No (0 when the box could not be shown).
int MsgConfirm(const std::string& textA, const std::string& textB, const std::string& textC);
