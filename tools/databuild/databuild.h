// The data builder: one program that makes every file of dat/ from the sources kept in this
// folder. Each kind of data is a producer that registers itself; main runs them in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace databuild {

struct Producer {
    const char* name;
    int order;  // art 10, loading picture 15, sounds 20, music 30, messages 40, stages 50, archives
                // 90
    bool (*run)(const std::string& outDir);
};

// A file-scope `static RegisterProducer reg("art", 10, RunArt);` adds a producer.
struct RegisterProducer {
    RegisterProducer(const char* name, int order, bool (*run)(const std::string&));
};

// The producers registered so far, in running order (order, then name).
std::vector<Producer> RegisteredProducers();

// Where the contact sheet goes ("" when none was asked for on the command line).
const std::string& ContactSheetPath();
void SetContactSheetPath(const std::string& path);

// Writes the whole file under a temporary name, flushes it to disk and renames it into place,
// so an interrupted build never leaves a short file that looks finished. Makes missing parent
// folders. False, with a message naming the file, on any failure.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size);
bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteFileAtomic(const std::string& path, const std::string& bytes);

// Grows the file with zero bytes to exactly `size` bytes. False, with a message naming the
// file, when its content is already larger (the data would not fit) or it cannot be written.
bool PadFileToSize(const std::string& path, uint64_t size);

// Makes the folder and its missing parents. False, with a message, on failure.
bool MakeDirectories(const std::string& path);

// Joins a folder and a relative name with one '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace databuild
