#pragma once
// The per-user and machine-wide key stores ("Software\Vako" and its per-user keys).
// Key paths use "\" as in the registry. The real store is QSettings (platform layer);
// MemoryKeyStore serves tests and programs without a store.
#include <map>
#include <mutex>
#include <string>
#include <vector>

enum class KeyRoot { LocalMachine, CurrentUser };

class KeyStore {
public:
    virtual ~KeyStore() = default;
    // Opens the key; with create set a missing key is created. writable asks for write
    // access. False when the key cannot be opened so.
    virtual bool OpenKey(KeyRoot root, const std::string& key, bool create, bool writable) = 0;
    // False when the key or the value is missing.
    virtual bool ReadValue(KeyRoot root, const std::string& key, const std::string& name,
                           std::string& value) = 0;
    virtual bool WriteValue(KeyRoot root, const std::string& key, const std::string& name,
                            const std::string& value) = 0;
    // The names of the key's values (not of its subkeys). False when the key is missing.
    virtual bool ValueNames(KeyRoot root, const std::string& key, std::vector<std::string>& names) {
        return false;
    }
};

class MemoryKeyStore : public KeyStore {
public:
    bool OpenKey(KeyRoot root, const std::string& key, bool create, bool writable) override;
    bool ReadValue(KeyRoot root, const std::string& key, const std::string& name,
                   std::string& value) override;
    bool WriteValue(KeyRoot root, const std::string& key, const std::string& name,
                    const std::string& value) override;
    bool ValueNames(KeyRoot root, const std::string& key, std::vector<std::string>& names) override;
    // Test hooks.
    void AddKey(KeyRoot root, const std::string& key);
    void SetReadOnly(KeyRoot root, bool readOnly);
    void SetUnavailable(KeyRoot root, bool unavailable);

private:
    struct Root {
        std::map<std::string, std::map<std::string, std::string>> keys;  // upper-cased key paths
        bool readOnly = false;
        bool unavailable = false;
    };
    Root& Of(KeyRoot r) { return r == KeyRoot::LocalMachine ? lm_ : cu_; }
    std::mutex mutex_;
    Root lm_, cu_;
};

// The store the settings use. Never null: a MemoryKeyStore until one is installed.
KeyStore& GetKeyStore();
void SetKeyStore(KeyStore* store);  // not owned; nullptr restores the built-in memory store
