#pragma once
// Translation through glibc's gettext. The program's texts live in the domain
// "default", the class library's texts in "corvo"; both are bound to the
// folder "locale" of the program folder.
#include <string>

// Binds the domains "default" and "corvo" to localeDir (normally ProgramDir + "locale").
// Sets LC_MESSAGES from the environment and leaves LC_NUMERIC at "C".
void InitTranslation(const std::string& localeDir);
// Sets the C library's locale back to what translation and number handling need (LC_NUMERIC
// "C", LC_MESSAGES a locale under which gettext honours LANGUAGE), after the toolkit's
// application object took the environment's locale for every category.
void KeepProcessLocale();
// The folder the domains are bound to.
std::string TranslationLocaleDir();

// Looks msgid up in the domain "default", then in the domains added for resource
// strings; returns msgid itself when no catalogue has it. Empty text stays empty.
std::string _(const std::string& msgid);
std::string _(const char* msgid);
// The form of a text with a count n that the language's plural rule picks: looked up like
// _(), falling back to singular for n == 1 and to plural otherwise.
std::string _n(const char* singular, const char* plural, unsigned long n);
// Looks msgid up in one domain only.
std::string dgettext_(const std::string& domain, const std::string& msgid);

// Adds a domain that resource strings are also looked up in (not added twice).
void AddDomainForResourceString(const std::string& domain);
// Activates a language ("nl", "en", ...): later lookups use its catalogues, and with them,
// by the language of the catalogue they find ("en" when none), the format settings
// (decimal and thousand separators, dates) and the toolkit's own texts and numbers (the
// file dialogs). Under the C or POSIX locale glibc ignores LANGUAGE, so LC_MESSAGES falls
// back to C.UTF-8.
void UseLanguage(const std::string& languageCode);
// Activates, by the same road, the language the environment chose (LANGUAGE, else the
// messages locale): the one whose catalogue the lookups take without an activation.
void UseEnvironmentLanguage();
// The toolkit's own texts (the file dialogs) follow the activated language too, from the
// toolkit's catalogues; the application object takes them when it is made later.
void ApplyToolkitTranslation();
// The language activated last, as its catalogue names it ("en" when the catalogue is
// English or missing; "" when none was activated).
std::string GetCurrentLanguage();
