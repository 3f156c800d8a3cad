#pragma once

#include <functional>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

/// Looks up the translation of a user-facing text. `key` is the text to translate (for example
/// "API Error"); `comment` tells translators what it is about. Return an empty string (or the
/// key) when there is no translation.
using LocalizedStringLookup =
    std::function<std::string(const std::string& key, const std::string& comment)>;

/// Installs the translation used for ErrorType::errorDescription(). By default, and after an
/// empty function is installed, every key translates to itself. Thread-safe.
ORVANE_SITE_EXPORT void setLocalizedStringLookup(LocalizedStringLookup lookup);

/// The translation of `key` through the installed lookup, or `key` itself when there is none.
ORVANE_SITE_EXPORT std::string localizedString(const std::string& key, const std::string& comment);

}  // namespace orvane::site
