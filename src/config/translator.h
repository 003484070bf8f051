// TLangTranslator: the one string translator of a process.
//
// Every user-visible text has a numeric id and an English default written
// in the code: Translate(206, "Server name:"). The translator finds the
// language files ("*.lng") of its folder, picks the language of the user's
// locale (else "English", else the first by name), and answers each id
// from the section "Strings" of the chosen file, with "||" turned into
// CR LF; a missing or empty entry gives the default.
//
// The run's context owns the one translator of a process and installs it
// as the texts of the run control; the free function Translate() reaches
// it there. Use it from the main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ini_document.h"
#include "base/run_control.h"

namespace trelvar {

class TLangTranslator : public TTextSource {
 public:
  // `program_folder` is the base of relative language folders; the locale
  // (a POSIX name such as "de_DE") decides the start-up language.
  TLangTranslator(std::string program_folder, std::string locale_name);
  // Takes itself back from the run control when it is installed there.
  ~TLangTranslator() override;
  TLangTranslator(const TLangTranslator&) = delete;
  TLangTranslator& operator=(const TLangTranslator&) = delete;

  // Sets the language folder (relative names are taken from the program
  // folder), scans its "*.lng" files and chooses the start-up language.
  void SetFolder(const std::string& name);
  // Switches to a known language (any letter case); unknown names change
  // nothing. Open windows are translated again.
  void SetLanguage(const std::string& name);
  // Switches to entry i of Languages(); out-of-range indices change nothing.
  void SelectByIndex(int index);

  std::string Text(int id, const std::string& fallback) const override;

  const std::string& Folder() const { return folder_; }
  const std::vector<std::string>& Languages() const { return sorted_names_; }  // by name
  const std::string& CurrentLanguage() const { return current_name_; }
  int CurrentIndex() const { return current_index_; }
  // The open document of the current language, or null.
  const TIniDocument* Document() const { return document_.get(); }

  // The windowed application walks its open windows here whenever the
  // language changes.
  using TWindowWalker = std::function<void(const TLangTranslator&)>;
  void SetWindowWalker(TWindowWalker walker) { window_walker_ = std::move(walker); }

 private:
  struct TLanguageEntry {
    std::string name;
    std::string file_name;
  };

  void Scan();
  bool MatchesLocale(const std::string& locales) const;

  std::string program_folder_;
  std::string locale_name_;
  std::string locale_code_;
  std::string folder_;
  std::vector<TLanguageEntry> table_;  // in the order the files were found
  std::vector<std::string> sorted_names_;
  std::string locale_language_;
  std::string current_name_;
  int current_index_ = -1;
  std::unique_ptr<TIniDocument> document_;
  TWindowWalker window_walker_;
};

// The text for `id` from the texts of the installed run control, or
// `fallback` when none are installed or the language has none.
std::string Translate(int id, const std::string& fallback);

}  // namespace trelvar
