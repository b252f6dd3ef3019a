// GPIO records saved and loaded. The grab keeps 32 input and 32 output records; SaveStorage
// writes them to a key/value store the client implements (XiStorage) and LoadStorage reads
// them back and re-applies each. This store keeps "key=value" lines in a text file.
#include <tamra/Tamra.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

class TextFileStore : public XiStorage {
public:
    // Statuses: 0 is success; anything else makes SaveStorage stop writing and LoadStorage keep
    // the field's current value.
    int WriteFloat(const char* key, float value) override {
        return put(key, std::to_string(value));
    }
    int WriteInt(const char* key, int value) override { return put(key, std::to_string(value)); }
    int ReadFloat(const char* key, float* value, float) override {
        auto found = values_.find(key);
        if (found == values_.end()) return 1;
        *value = std::stof(found->second);
        return 0;
    }
    int ReadInt(const char* key, int* value, int) override {
        auto found = values_.find(key);
        if (found == values_.end()) return 1;
        *value = std::stoi(found->second);
        return 0;
    }

    bool save(const std::string& file) const {
        std::ofstream out(file);
        for (const auto& entry : values_) out << entry.first << '=' << entry.second << '\n';
        return static_cast<bool>(out);
    }
    bool load(const std::string& file) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            const auto equals = line.find('=');
            if (equals != std::string::npos)
                values_[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return !values_.empty();
    }
    std::size_t size() const { return values_.size(); }

private:
    int put(const char* key, std::string value) {
        values_[key] = std::move(value);
        return 0;
    }
    std::map<std::string, std::string> values_;
};

int main() {
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("tamra-gpio-" + std::to_string(std::random_device{}()) + ".txt"))
                                 .string();
    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    grab->Initialize();

    IFW_GPI_CONFIG input{};
    grab->GetGPIConfig(3, &input);
    input.Debounce = 50;  // Level is the live input level: never saved
    input.Threshold = 2.5f;
    grab->SetGPIConfig(3, &input);
    IFW_GPO_CONFIG output{};
    grab->GetGPOConfig(5, &output);
    output.Duration = 40;
    grab->SetGPOConfig(5, &output);

    TextFileStore saved;
    grab->SaveStorage(&saved);  // keys such as GPI3.Debounce and GPO5.Duration
    const bool written = saved.save(file);
    std::printf("saved %zu keys to %s\n", saved.size(), file.c_str());
    TamraGrabDelete(grab);

    // A new grab starts from the default records (debounce 200, duration 1000) until it loads.
    grab = TamraGrabInstantiate(type);
    grab->Initialize();
    TextFileStore loaded;
    const bool read = loaded.load(file);
    grab->LoadStorage(&loaded);
    IFW_GPI_CONFIG inputBack{};
    grab->GetGPIConfig(3, &inputBack);
    IFW_GPO_CONFIG outputBack{};
    grab->GetGPOConfig(5, &outputBack);
    TamraGrabDelete(grab);
    std::filesystem::remove(file);

    std::printf("loaded: input 3 debounce %d threshold %.1f, output 5 duration %d\n",
                inputBack.Debounce, inputBack.Threshold, outputBack.Duration);
    const bool ok = written && read && saved.size() == 32 * 4 + 32 * 5 &&
                    inputBack.Debounce == 50 && inputBack.Threshold == 2.5f &&
                    outputBack.Duration == 40;
    std::printf(ok ? "records restored\n" : "records differ\n");
    return ok ? 0 : 1;
}
