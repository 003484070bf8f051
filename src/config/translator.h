// TLangTranslator: the one string translator of a process.
//
// Every user-visible text has a numeric id and an English default written
// in the code: Translate(206, "Server name:"). The translator finds the
// language files ("*.lng") of its folder, picks the language of the user's
// locale (else "English", else the first by name), and answers each id
// from the section "Strings" of the chosen file, with "||" turned into
// CR LF; a missing or empty entry gives the default.
//
// Exactly one translator may exist at a time; creating a second raises
// EInvalidOperation. Its owner (the run's context) keeps it alive; the free
// function Translate() reaches it. Use it from the main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ini_document.h"

namespace trelvar {

class TLangTranslator {
 public:
  // `program_folder` is the base of relative language folders; the locale
  // (a POSIX name such as "de_DE") decides the start-up language.
  TLangTranslator(std::string program_folder, std::string locale_name);
  ~TLangTranslator();
  TLangTranslator(const TLangTranslator&) = delete;
  TLangTranslator& operator=(const TLangTranslator&) = delete;

  // The translator of the process, or null.
  static TLangTranslator* Instance();

  // Sets the language folder (relative names are taken from the program
  // folder), scans its "*.lng" files and chooses the start-up language.
  void SetFolder(const std::string& name);
  // Switches to a known language (any letter case); unknown names change
  // nothing. Open windows are translated again.
  void SetLanguage(const std::string& name);
  // Switches to entry i of Languages(); out-of-range indices change nothing.
  void SelectByIndex(int index);

  std::string Translate(int id, const std::string& fallback) const;

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

// The process-wide translator's text for `id`, or `fallback` when there is
// no translator or no language.
std::string Translate(int id, const std::string& fallback);

}  // namespace trelvar
