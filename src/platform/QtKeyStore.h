#pragma once
// The key stores on QSettings: the registry on Windows, XDG configuration files on Linux
// ($XDG_CONFIG_HOME/Vako.conf for the user, $XDG_CONFIG_DIRS/Vako.conf machine-wide).
#include "settings/KeyStore.h"

class QtKeyStore : public KeyStore {
public:
    bool OpenKey(KeyRoot root, const std::string& key, bool create, bool writable) override;
    bool ReadValue(KeyRoot root, const std::string& key, const std::string& name,
                   std::string& value) override;
    bool WriteValue(KeyRoot root, const std::string& key, const std::string& name,
                    const std::string& value) override;
    bool ValueNames(KeyRoot root, const std::string& key, std::vector<std::string>& names) override;
};
