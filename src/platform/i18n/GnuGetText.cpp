#include "platform/i18n/GnuGetText.h"

#include <libintl.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QLibraryInfo>
#include <QtCore/QLocale>
#include <QtCore/QTranslator>

#include "platform/rtl/SysUtils.h"
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex g_mutex;
std::string g_localeDir;
std::string g_language;
std::vector<std::string> g_resourceDomains;

// glibc ignores LANGUAGE when LC_MESSAGES is "C" or "POSIX"; a UTF-8 C locale keeps
// the untranslated texts intact and lets LANGUAGE choose the catalogue.
void EnsureMessagesLocale() {
  const char* current = setlocale(LC_MESSAGES, nullptr);
  if (!current || strcmp(current, "C") == 0 || strcmp(current, "POSIX") == 0) {
    if (!setlocale(LC_MESSAGES, "C.UTF-8")) setlocale(LC_MESSAGES, "C.utf8");
  }
}

// The language of the catalogue that the lookups of the domain "default" take now, from the
// "Language:" line of its header; "en" when they take none (the message ids are English).
std::string CatalogueLanguage() {
  const std::string header = dgettext("default", "");
  const size_t at = header.find("Language:");
  if (at == std::string::npos) return "en";
  const size_t start = header.find_first_not_of(' ', at + 9);
  const size_t end = header.find_first_of(" \r\n", start);
  const std::string code = start == std::string::npos ? std::string() : header.substr(start, end - start);
  return code.empty() ? "en" : code;
}

// The toolkit's own texts (its file dialogs' "Look in", "File name" ...) and the numbers and
// dates of its dialogs in the language activated last: its catalogue of the language, where
// the toolkit has one.
void LoadToolkitTranslation(const std::string& language) {
  static QTranslator* translator = nullptr;
  QLocale::setDefault(QLocale(QString::fromStdString(language)));
  if (!QCoreApplication::instance()) return;
  if (translator) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = nullptr;
  }
  const std::string code = language.substr(0, language.find_first_of("_.@:"));
  if (code.empty() || code == "en") return;
  auto* loaded = new QTranslator;
  if (loaded->load(QString::fromStdString("qtbase_" + code), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(loaded)) {
    translator = loaded;
  } else {
    delete loaded;
  }
}

}  // namespace

void InitTranslation(const std::string& localeDir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_localeDir = localeDir;
  setlocale(LC_MESSAGES, "");
  setlocale(LC_CTYPE, "");
  KeepProcessLocale();
  for (const char* domain : {"default", "corvo"}) {
    bindtextdomain(domain, localeDir.c_str());
    bind_textdomain_codeset(domain, "UTF-8");
  }
  textdomain("default");
}

void KeepProcessLocale() {
  if (!setlocale(LC_CTYPE, nullptr) || strcmp(setlocale(LC_CTYPE, nullptr), "C") == 0) setlocale(LC_CTYPE, "C.UTF-8");
  setlocale(LC_NUMERIC, "C");
  EnsureMessagesLocale();
  // Makes gettext look its catalogues up again under the messages locale set here.
  extern int _nl_msg_cat_cntr;
  ++_nl_msg_cat_cntr;
}

std::string TranslationLocaleDir() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_localeDir;
}

std::string dgettext_(const std::string& domain, const std::string& msgid) {
  if (msgid.empty()) return msgid;
  return dgettext(domain.c_str(), msgid.c_str());
}

std::string _(const char* msgid) {
  if (!msgid || !*msgid) return std::string();
  const char* t = dgettext("default", msgid);
  if (t != msgid) return t;
  std::vector<std::string> domains;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    domains = g_resourceDomains;
  }
  for (const auto& d : domains) {
    t = dgettext(d.c_str(), msgid);
    if (t != msgid) return t;
  }
  return msgid;
}

std::string _(const std::string& msgid) { return _(msgid.c_str()); }

std::string _n(const char* singular, const char* plural, unsigned long n) {
  if (!singular || !plural) return std::string();
  const char* t = dngettext("default", singular, plural, n);
  if (t != singular && t != plural) return t;
  std::vector<std::string> domains;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    domains = g_resourceDomains;
  }
  for (const auto& d : domains) {
    t = dngettext(d.c_str(), singular, plural, n);
    if (t != singular && t != plural) return t;
  }
  return n == 1 ? singular : plural;
}

void AddDomainForResourceString(const std::string& domain) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const auto& d : g_resourceDomains)
    if (d == domain) return;
  g_resourceDomains.push_back(domain);
  bindtextdomain(domain.c_str(), g_localeDir.empty() ? nullptr : g_localeDir.c_str());
  bind_textdomain_codeset(domain.c_str(), "UTF-8");
}

void UseLanguage(const std::string& languageCode) {
  std::lock_guard<std::mutex> lock(g_mutex);
  EnsureMessagesLocale();
  setenv("LANGUAGE", languageCode.c_str(), 1);
  // Makes gettext drop the catalogues it looked up for the previous language.
  extern int _nl_msg_cat_cntr;
  ++_nl_msg_cat_cntr;
  // The numbers, dates and the toolkit's texts follow the language that our texts are shown
  // in: a code without a catalogue of ours ("de") shows English, a regional one ("nl_BE")
  // that of its language. Before the domains are bound there are no texts to follow.
  g_language = g_localeDir.empty() ? languageCode : CatalogueLanguage();
  SetFormatSettingsForLanguage(g_language);
  LoadToolkitTranslation(g_language);
}

void UseEnvironmentLanguage() {
  std::string language;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureMessagesLocale();
    language = CatalogueLanguage();
  }
  UseLanguage(language);
}

void ApplyToolkitTranslation() {
  std::lock_guard<std::mutex> lock(g_mutex);
  LoadToolkitTranslation(g_language);
}

std::string GetCurrentLanguage() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_language;
}
