// TLogFmts: the catalogue of log formats, name -> line template.
//
// A template is a text in which field tokens such as <ip> or <href> stand
// between literal separators; the line parser cuts every log line by the
// template of the site's format. Entries keep the order in which they were
// loaded or added; the catalogue has no built-in entries (the shipped ones
// come from main.ini). One catalogue exists per run (TRunContext).
//
// RecognizeSample() looks at the first lines of a log file: W3C and
// Netscape headers yield a new template saved under a fresh name, the
// Apache/NCSA, IIS native and Blogware layouts yield the name of an entry.
// It never lets an exception out. Not thread-safe.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/main_settings.h"

namespace trelvar {

class TLogFmts : public TFormatLines {
 public:
  struct TEntry {
    std::string name;
    std::string line_template;
  };

  // The template of the entry named exactly `name`, or "".
  std::string GetTemplate(std::string_view name) const;
  // name;template. Replaces the template of an entry of that name (any
  // case) in place, or appends; an empty template removes the entry.
  void AddFormatLine(std::string_view line) override;
  // name;template of every entry.
  std::vector<std::string> FormatLines() const override;
  // The last entry whose template equals `line_template`, or "".
  std::string FindNameByTemplate(std::string_view line_template) const;
  // `base`, " " and the first N from 0 that names no entry.
  std::string MakeFreeName(std::string_view base) const;

  // The steps of recognising a log file (RecognizeLogFile, which reads the
  // file) once it is open, for any line source:
  // the header sample of at most 15 lines read through `next_line` (which
  // returns false at the end), and the format that sample shows.
  using TLineSource = std::function<bool(std::string& line)>;
  static std::vector<std::string> CollectHeaderSample(const TLineSource& next_line);
  std::string RecognizeSample(const std::vector<std::string>& sample, const std::string& path,
                              bool show_messages, bool console_mode);

  const std::vector<TEntry>& Entries() const { return entries_; }
  std::vector<std::string> Names() const;
  void Clear() { entries_.clear(); }

 private:
  int IndexOf(std::string_view name) const;  // any case; -1 when absent
  // The entry of the template the sample's header describes: an existing
  // one, or a new one named after `base`.
  std::string SaveHeaderFormat(const std::vector<std::string>& sample, const std::string& base,
                               bool show_messages, bool console_mode);

  std::vector<TEntry> entries_;
};

// The template piece of a W3C "#Fields:" name (<nil> for unknown names).
std::string W3CFieldToken(std::string_view field);
// The template piece of a Netscape "format=" variable (<nil> for unknown).
std::string NetscapeVarToken(std::string_view var);

// Words of `text` split at the characters of `separators`; a word that
// begins with a double quote runs to the next double quote and is stored
// without its quotes; empty words are never stored.
std::vector<std::string> SplitQuoted(std::string_view text, std::string_view separators);

}  // namespace trelvar
