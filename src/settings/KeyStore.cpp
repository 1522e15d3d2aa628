#include "settings/KeyStore.h"

#include "settings/Strings.h"

bool MemoryKeyStore::OpenKey(KeyRoot root, const std::string& key, bool create, bool writable) {
    std::lock_guard<std::mutex> lock(mutex_);
    Root& r = Of(root);
    if (r.unavailable) return false;
    if (writable && r.readOnly) return false;
    std::string k = UpperCase1252(key);
    if (r.keys.count(k)) return true;
    if (!create || r.readOnly) return false;
    r.keys[k];
    return true;
}

bool MemoryKeyStore::ReadValue(KeyRoot root, const std::string& key, const std::string& name,
                               std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Root& r = Of(root);
    if (r.unavailable) return false;
    auto it = r.keys.find(UpperCase1252(key));
    if (it == r.keys.end()) return false;
    auto v = it->second.find(UpperCase1252(name));
    if (v == it->second.end()) return false;
    value = v->second;
    return true;
}

bool MemoryKeyStore::WriteValue(KeyRoot root, const std::string& key, const std::string& name,
                                const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    Root& r = Of(root);
    if (r.unavailable || r.readOnly) return false;
    r.keys[UpperCase1252(key)][UpperCase1252(name)] = value;
    return true;
}

bool MemoryKeyStore::ValueNames(KeyRoot root, const std::string& key, std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(mutex_);
    Root& r = Of(root);
    if (r.unavailable) return false;
    auto it = r.keys.find(UpperCase1252(key));
    if (it == r.keys.end()) return false;
    names.clear();
    for (auto& [name, value] : it->second) names.push_back(name);
    return true;
}

void MemoryKeyStore::AddKey(KeyRoot root, const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    Of(root).keys[UpperCase1252(key)];
}

void MemoryKeyStore::SetReadOnly(KeyRoot root, bool readOnly) {
    std::lock_guard<std::mutex> lock(mutex_);
    Of(root).readOnly = readOnly;
}

void MemoryKeyStore::SetUnavailable(KeyRoot root, bool unavailable) {
    std::lock_guard<std::mutex> lock(mutex_);
    Of(root).unavailable = unavailable;
}

namespace {
KeyStore* g_store = nullptr;
MemoryKeyStore& BuiltIn() {
    static MemoryKeyStore store;
    return store;
}
}  // namespace

KeyStore& GetKeyStore() { return g_store ? *g_store : BuiltIn(); }
void SetKeyStore(KeyStore* store) { g_store = store; }
