#include "platform/i18n/GnuGetText.h"

#include <libintl.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QLibraryInfo>
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

// The toolkit's own texts (its file dialogs' "Look in", "File name" ...) in the language
// activated last: its catalogue of the language, where the toolkit has one.
void LoadToolkitTranslation(const std::string& language) {
  static QTranslator* translator = nullptr;
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
  if (!setlocale(LC_CTYPE, nullptr) || strcmp(setlocale(LC_CTYPE, nullptr), "C") == 0) setlocale(LC_CTYPE, "C.UTF-8");
  setlocale(LC_NUMERIC, "C");
  EnsureMessagesLocale();
  for (const char* domain : {"default", "corvo"}) {
    bindtextdomain(domain, localeDir.c_str());
    bind_textdomain_codeset(domain, "UTF-8");
  }
  textdomain("default");
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
  g_language = languageCode;
  EnsureMessagesLocale();
  setenv("LANGUAGE", languageCode.c_str(), 1);
  // Numbers and dates shown to the user follow the interface language.
  SetFormatSettingsForLanguage(languageCode);
  // Makes gettext drop the catalogues it looked up for the previous language.
  extern int _nl_msg_cat_cntr;
  ++_nl_msg_cat_cntr;
  LoadToolkitTranslation(languageCode);
}

void ApplyToolkitTranslation() {
  std::lock_guard<std::mutex> lock(g_mutex);
  LoadToolkitTranslation(g_language);
}

std::string GetCurrentLanguage() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_language;
}
