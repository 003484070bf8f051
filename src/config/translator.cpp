#include "config/translator.h"

#include <algorithm>

#include "base/text_helpers.h"
#include "config/folders.h"
#include "platform/files.h"
#include "platform/system.h"

namespace trelvar {

TLangTranslator::TLangTranslator(std::string program_folder, std::string locale_name)
    : program_folder_(ToNativeDir(std::move(program_folder))),
      locale_name_(std::move(locale_name)),
      locale_code_(LowerCase(platform::LocaleCodeOf(locale_name_))),
      folder_(program_folder_) {}

TLangTranslator::~TLangTranslator() {
  if (RunControl().Texts() == this) RunControl().SetTexts(nullptr);
}

void TLangTranslator::SetFolder(const std::string& name) {
  folder_ = ToNativeDir(AbsolutePath(name, program_folder_));
  Scan();
  if (!locale_language_.empty()) {
    SetLanguage(locale_language_);
  } else if (!sorted_names_.empty()) {
    auto english = std::find_if(sorted_names_.begin(), sorted_names_.end(),
                                [](const std::string& n) { return n == "English"; });
    SetLanguage(english != sorted_names_.end() ? *english : sorted_names_.front());
  }
}

bool TLangTranslator::MatchesLocale(const std::string& locales) const {
  // Entries are Windows language ids ("0407"), POSIX names ("de_DE") or
  // bare languages ("de").
  const std::string posix = LowerCase(locale_name_);
  const std::string language = posix.substr(0, posix.find('_'));
  std::string rest = locales;
  while (!rest.empty()) {
    const std::string entry = LowerCase(Trim(SplitFirst(rest, ",")));
    if (entry.empty()) continue;
    if ((!locale_code_.empty() && entry == locale_code_) ||
        (!posix.empty() && (entry == posix || entry == language)))
      return true;
  }
  return false;
}

void TLangTranslator::Scan() {
  table_.clear();
  sorted_names_.clear();
  locale_language_.clear();
  for (const platform::TFolderEntry& e : platform::ListFolder(folder_, "*.lng")) {
    if (e.is_folder) continue;
    TIniDocument doc(folder_ + e.name);
    const std::string name = doc.ReadString("Strings", "LanguageName", "");
    if (!locale_name_.empty() && MatchesLocale(doc.ReadString("Strings", "LanguageLocales", "")))
      locale_language_ = name;
    if (name.empty()) continue;
    table_.push_back({name, e.name});
    sorted_names_.push_back(name);
  }
  std::stable_sort(sorted_names_.begin(), sorted_names_.end(),
                   [](const std::string& a, const std::string& b) {
                     return LowerCase(a) < LowerCase(b);
                   });
}

void TLangTranslator::SetLanguage(const std::string& name) {
  auto entry = std::find_if(table_.begin(), table_.end(),
                            [&](const TLanguageEntry& e) { return SameText(e.name, name); });
  if (entry == table_.end()) return;
  current_name_ = entry->name;
  auto sorted = std::find(sorted_names_.begin(), sorted_names_.end(), entry->name);
  current_index_ = static_cast<int>(sorted - sorted_names_.begin());
  document_.reset();
  const std::string path = folder_ + entry->file_name;
  if (platform::PathExists(path)) document_ = std::make_unique<TIniDocument>(path);
  if (window_walker_) window_walker_(*this);
}

void TLangTranslator::SelectByIndex(int index) {
  if (index >= 0 && index < static_cast<int>(sorted_names_.size()))
    SetLanguage(sorted_names_[static_cast<size_t>(index)]);
}

std::string TLangTranslator::Text(int id, const std::string& fallback) const {
  if (document_ == nullptr) return fallback;
  std::string text = document_->ReadString("Strings", std::to_string(id), "");
  if (text.empty()) return fallback;
  return ReplaceEach(text, "||", "\r\n");
}

std::string Translate(int id, const std::string& fallback) {
  const TTextSource* texts = RunControl().Texts();
  return texts == nullptr ? fallback : texts->Text(id, fallback);
}

}  // namespace trelvar
