#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cifrovar {

// Every setting that outlives the program, with the defaults used when the file lacks a key.
struct Configuration {
    bool ukladat_konf = true;            // [nastaveni] ukladat_konf
    bool vysledek_auto = true;           // [nastaveni] vysledek_auto
    bool nuly_na_konci = true;           // [nastaveni] nuly_na_konci
    bool zalamovat = false;              // [nastaveni] zalamovat
    int32_t ukaz_stav = 1000;            // [nastaveni] ukaz_stav
    int32_t zalohy = 1000000000;         // [nastaveni] zalohy
    bool log_chyby = false;              // [nastaveni] log_chyby
    std::optional<int32_t> left;         // [poloha] left (nothing: centred by the window)
    std::optional<int32_t> top;          // [poloha] top
    bool vypis_max = false;              // [poloha] vypis_max
    int32_t priorita = 32;               // [nastaveni] priorita
    int32_t zalomit_po = 80;             // [nastaveni] zalomit_po
    bool hlavicka_vysledku = false;      // [nastaveni] hlavicka_vysledku
    std::optional<int32_t> vypis_left;   // [poloha] vypis_left
    std::optional<int32_t> vypis_top;    // [poloha] vypis_top
    int32_t vypis_width = 361;           // [poloha] vypis_width
    int32_t vypis_height = 242;          // [poloha] vypis_height
    std::optional<std::string> adresar;  // [nastaveni] adresar (nothing: the caller's default)

    bool operator==(const Configuration&) const = default;
};

// Reads the file at path; missing keys, values that are not numbers and a missing file give the
// defaults. The two intervals come back as one of their menu items' values (any other value
// means never, 1000000000).
Configuration read_configuration(const std::string& path);

// Writes every key into the file at path, updating an existing file in place (its other content
// kept). Positions that are absent are not written. While the viewer is maximised its geometry is
// not written, so the file keeps the last normal one. A folder name with a line break cannot be
// stored and is left out. False when the file could not be written.
bool write_configuration(const std::string& path, const Configuration& config);

// Where the file lies: in multi-user mode app_data_folder + "Cifrovar/cifrovar.ini", otherwise
// program_folder + "cifrovar.ini" (both folders end with '/').
std::string configuration_path(bool multi_user, const std::string& program_folder,
                               const std::string& app_data_folder);
std::string per_user_configuration_path(const std::string& app_data_folder);
// The viewer reads the per-user file whenever it exists, otherwise the program-folder file.
std::string viewer_configuration_path(const std::string& program_folder,
                                      const std::string& app_data_folder);

// Deletes the configuration of the mode (in multi-user mode also the per-user folder, which
// goes only when empty). Nothing on success, otherwise the Czech text to report.
std::optional<std::string> delete_configuration(bool multi_user, const std::string& program_folder,
                                                const std::string& app_data_folder);

}  // namespace cifrovar
