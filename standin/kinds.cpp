#include "kinds.h"

#include <string>
#include <vector>

namespace {

struct Kind {
  const wchar_t* text;
  const char* tag;
};
const Kind kPhone = {L"電話番号", "phone"};
const Kind kOthers[] = {{L"得意先コード", "code"}, {L"得意先名", "name"},     {L"フリガナ", "kana"},
                        {L"郵便番号", "postcode"}, {L"住所", "address"},       {L"担当者", "person"},
                        {L"業種", "trade"},         {L"地区", "area"},         {L"締日", "closing"},
                        {L"備考", "note"},          {L"メールアドレス", "mail"}, {L"FAX番号", "fax"}};
std::vector<const Kind*> g_order;  // as listed; every lookup lists them alike

}  // namespace

void FillKinds(HWND combo, LONG secondY) {
  // The row under the point follows from the list's own metrics, which differ between
  // Windows and Wine and with the font: the list drops from the box's lower edge.
  RECT box;
  GetWindowRect(combo, &box);
  const LONG item = (LONG)SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0);
  const size_t row = item > 0 && secondY > box.bottom ? (size_t)((secondY - box.bottom - 1) / item) : 0;
  g_order.clear();
  // One kind after the phone kind, and no more: a list that scrolls is dropped scrolled to
  // its selection, and the rows would move.
  for (const Kind& k : kOthers) {
    if (g_order.size() == row) g_order.push_back(&kPhone);
    g_order.push_back(&k);
    if (g_order.size() > row + 1) break;
  }
  if (g_order.size() <= row) g_order.push_back(&kPhone);
  for (const Kind* k : g_order) SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)k->text);
  for (size_t i = 0; i < g_order.size(); ++i)
    if (g_order[i] == &kOthers[1]) SendMessageW(combo, CB_SETCURSEL, i, 0);
}

const char* KindTag(HWND combo) {
  const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return i >= 0 && (size_t)i < g_order.size() ? g_order[i]->tag : "";
}
