// registry.cpp: the registry under HKEY_LOCAL_MACHINE, its keys opened by the
// program, the faults a scene can inject, and the Reg* calls.
#include "model.h"

#include <stdio.h>

#include <algorithm>

namespace standin {

using namespace detail;

namespace {

std::vector<Text> SplitPath(const Text& path)
{
    std::vector<Text> parts;
    Text part;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

Text JoinPath(const std::vector<Text>& parts)
{
    Text out;
    for (size_t i = 0; i < parts.size(); i++) {
        if (i > 0)
            out += u'\\';
        out += parts[i];
    }
    return out;
}

Key* FindKey(Key* from, const std::vector<Text>& parts, bool create)
{
    Key* key = from;
    for (const Text& part : parts) {
        Key* next = NULL;
        for (auto& sub : key->subkeys) {
            if (SameName(sub->name, part)) {
                next = sub.get();
                break;
            }
        }
        if (next == NULL) {
            if (!create)
                return NULL;
            key->subkeys.push_back(std::unique_ptr<Key>(new Key));
            next = key->subkeys.back().get();
            next->name = part;
        }
        key = next;
    }
    return key;
}

OpenKey* FindOpenKey(HKEY key)
{
    auto it = M().openKeys.find((uintptr_t)key);
    return it == M().openKeys.end() ? NULL : &it->second;
}

Value* FindValue(Key* key, const Text& name)
{
    for (auto& v : key->values) {
        if (SameName(v.name, name))
            return &v;
    }
    return NULL;
}

}  // namespace

void AddKey(const Text& path)
{
    FindKey(&M().registryRoot, SplitPath(path), true);
}

void SetValue(const Text& keyPath, const Text& valueName, DWORD type,
              const std::vector<BYTE>& bytes)
{
    Key* key = FindKey(&M().registryRoot, SplitPath(keyPath), true);
    if (Value* v = FindValue(key, valueName)) {
        v->type = type;
        v->bytes = bytes;
        return;
    }
    key->values.push_back(Value{valueName, type, bytes});
}

std::vector<BYTE> StringBytes(const Text& text, bool terminated)
{
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
        bytes.push_back((BYTE)(c & 0xFF));
        bytes.push_back((BYTE)(c >> 8));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

void SetStringValue(const Text& keyPath, const Text& valueName, const Text& text)
{
    SetValue(keyPath, valueName, REG_SZ, StringBytes(text));
}

RegistryValue GetValue(const Text& keyPath, const Text& valueName)
{
    RegistryValue out;
    Key* key = FindKey(&M().registryRoot, SplitPath(keyPath), false);
    if (key == NULL)
        return out;
    if (Value* v = FindValue(key, valueName)) {
        out.exists = true;
        out.type = v->type;
        out.bytes = v->bytes;
    }
    return out;
}

void DeleteValue(const Text& keyPath, const Text& valueName)
{
    Key* key = FindKey(&M().registryRoot, SplitPath(keyPath), false);
    if (key == NULL)
        return;
    auto& values = key->values;
    values.erase(std::remove_if(values.begin(), values.end(),
                                [&](const Value& v) { return SameName(v.name, valueName); }),
                 values.end());
}

static void DumpKey(const Key& key, const std::string& path, std::string* out)
{
    *out += "[" + path + "]\n";
    for (const Value& v : key.values) {
        *out += "  " + Narrow(v.name) + " type " + std::to_string(v.type) + ":";
        for (BYTE b : v.bytes) {
            char hex[4];
            snprintf(hex, sizeof(hex), " %02x", b);
            *out += hex;
        }
        *out += "\n";
    }
    for (const auto& sub : key.subkeys)
        DumpKey(*sub, path.empty() ? Narrow(sub->name) : path + "\\" + Narrow(sub->name), out);
}

std::string DumpRegistry()
{
    std::string out;
    DumpKey(M().registryRoot, "", &out);
    return out;
}

void FailOpen(const Text& path)
{
    M().failOpen.push_back(Folded(JoinPath(SplitPath(path))));
}

void FailSetValue(bool fail)
{
    M().failSet = fail;
}

void FailSetValueNamed(const Text& valueName)
{
    M().failSetNamed = true;
    M().failSetName = valueName;
}

Text ButtonCommand(const Text& buttonKey)
{
    // A Pocket PC shell starts the key's unnamed value; a value named
    // "Default" means nothing to it.
    const RegistryValue value =
        GetValue(Text(u"SOFTWARE\\Microsoft\\Shell\\Keys\\") + buttonKey, Text());
    if (!value.exists || value.type != REG_SZ)
        return Text();
    Text command;
    for (size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
        const char16_t c = (char16_t)(value.bytes[i] | (value.bytes[i + 1] << 8));
        if (c == 0)
            break;
        command += c;
    }
    return command;
}

int OpenKeyCount()
{
    return (int)M().openKeys.size();
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    PlatformCall scope("RegOpenKeyExW", {(uintptr_t)key, options, access, Given(result)}, subKey);
    if (options != 0 || result == NULL)
        Unmodelled("RegOpenKeyExW with options or without a result");
    Key* from;
    std::vector<Text> base;
    if (key == HKEY_LOCAL_MACHINE) {
        from = &M().registryRoot;
    } else if (OpenKey* open = FindOpenKey(key)) {
        from = open->key;
        base = SplitPath(open->path);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    // Empty path components are passed over, so a path ending in a
    // backslash opens the key above it, as the platform's registry does.
    std::vector<Text> parts = SplitPath(subKey == NULL ? Text() : Text(subKey));
    std::vector<Text> full = base;
    full.insert(full.end(), parts.begin(), parts.end());
    const Text path = JoinPath(full);
    for (const Text& failing : M().failOpen) {
        if (failing == Folded(path))
            return ERROR_ACCESS_DENIED;
    }
    Key* found = FindKey(from, parts, false);
    if (found == NULL)
        return ERROR_FILE_NOT_FOUND;
    M().nextKey += 4;
    M().openKeys[M().nextKey] = OpenKey{found, path};
    *result = (HKEY)M().nextKey;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                   LPWSTR className, LPDWORD classChars, PFILETIME lastWrite)
{
    PlatformCall scope("RegEnumKeyExW",
                       {(uintptr_t)key, index, Given(name), nameChars == NULL ? 0 : *nameChars,
                        Given(reserved), Given(className), Given(classChars), Given(lastWrite)});
    if (reserved != NULL || className != NULL || classChars != NULL || lastWrite != NULL ||
        name == NULL || nameChars == NULL)
        Unmodelled("RegEnumKeyExW asking for more than the subkey's name");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    if (index >= open->key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    const Text& subName = open->key->subkeys[index]->name;
    if (subName.size() + 1 > *nameChars)
        return ERROR_MORE_DATA;
    CopyOut(subName, name, (int)*nameChars);
    *nameChars = (DWORD)subName.size();
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataBytes)
{
    PlatformCall scope("RegQueryValueExW",
                       {(uintptr_t)key, Given(reserved), Given(type), Given(data),
                        dataBytes == NULL ? 0 : *dataBytes},
                       valueName);
    if (reserved != NULL)
        Unmodelled("RegQueryValueExW with the reserved argument");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    Value* v = FindValue(open->key, valueName == NULL ? Text() : Text(valueName));
    if (v == NULL)
        return ERROR_FILE_NOT_FOUND;
    if (type != NULL)
        *type = v->type;
    if (data == NULL) {
        if (dataBytes != NULL)
            *dataBytes = (DWORD)v->bytes.size();
        return ERROR_SUCCESS;
    }
    if (dataBytes == NULL)
        Unmodelled("RegQueryValueExW with data but no size");
    // Stored bytes are returned as they are: a string need not be terminated.
    if (v->bytes.size() > *dataBytes) {
        *dataBytes = (DWORD)v->bytes.size();
        return ERROR_MORE_DATA;
    }
    std::copy(v->bytes.begin(), v->bytes.end(), data);
    *dataBytes = (DWORD)v->bytes.size();
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataBytes)
{
    PlatformCall scope("RegSetValueExW", {(uintptr_t)key, reserved, type, Given(data), dataBytes},
                       valueName);
    if (reserved != 0)
        Unmodelled("RegSetValueExW with the reserved argument");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    const Text name = valueName == NULL ? Text() : Text(valueName);
    if (M().failSet || (M().failSetNamed && M().failSetName == name))
        return ERROR_ACCESS_DENIED;
    std::vector<BYTE> bytes(data, data + dataBytes);
    if (Value* v = FindValue(open->key, name)) {
        v->type = type;
        v->bytes = bytes;
    } else {
        open->key->values.push_back(Value{name, type, bytes});
    }
    Record(kRegSetValue, NULL, type, 0, 0, open->path, name, bytes);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    PlatformCall scope("RegCloseKey", {(uintptr_t)key});
    if (key == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    if (M().openKeys.erase((uintptr_t)key) == 0)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataBytes)
{
    PlatformCall scope("RegEnumValueW",
                       {(uintptr_t)key, index, Given(name), nameChars == NULL ? 0 : *nameChars,
                        Given(reserved), Given(type), Given(data),
                        dataBytes == NULL ? 0 : *dataBytes});
    if (reserved != NULL || name == NULL || nameChars == NULL || (data != NULL && dataBytes == NULL))
        Unmodelled("RegEnumValueW without a name buffer, or with the reserved argument");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    if (index >= open->key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value& v = open->key->values[index];
    // The name and its terminator must fit; the data, when asked for, too.
    if (v.name.size() + 1 > *nameChars)
        return ERROR_MORE_DATA;
    if (data != NULL && v.bytes.size() > *dataBytes) {
        *dataBytes = (DWORD)v.bytes.size();
        return ERROR_MORE_DATA;
    }
    CopyOut(v.name, name, (int)*nameChars);
    *nameChars = (DWORD)v.name.size();
    if (type != NULL)
        *type = v.type;
    if (data != NULL)
        std::copy(v.bytes.begin(), v.bytes.end(), data);
    if (dataBytes != NULL)
        *dataBytes = (DWORD)v.bytes.size();
    return ERROR_SUCCESS;
}
