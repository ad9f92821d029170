#include "shell/configuration.h"

#include <filesystem>
#include <system_error>

#include "shell/ini_file.h"
#include "shell/interval_items.h"

namespace cifrovar {

namespace {

namespace fs = std::filesystem;

constexpr char settings[] = "nastaveni";
constexpr char position[] = "poloha";
constexpr char folder_name[] = "Cifrovar";
constexpr char file_name[] = "cifrovar.ini";
constexpr char cannot_delete[] = "Konfiguraci se nepodařilo odstranit";

std::optional<int32_t> read_optional(const IniFile& ini, const char* section, const char* key) {
    const auto text = ini.get(section, key);
    return text ? parse_profile_int(*text) : std::nullopt;
}

void read_settings(const IniFile& ini, Configuration& c) {
    c.ukladat_konf = read_bool(ini, settings, "ukladat_konf", c.ukladat_konf);
    c.vysledek_auto = read_bool(ini, settings, "vysledek_auto", c.vysledek_auto);
    c.nuly_na_konci = read_bool(ini, settings, "nuly_na_konci", c.nuly_na_konci);
    c.zalamovat = read_bool(ini, settings, "zalamovat", c.zalamovat);
    // The intervals are those of the menu's items; any other value is never.
    c.ukaz_stav =
        normalized_interval(progress_intervals, read_int(ini, settings, "ukaz_stav", c.ukaz_stav));
    c.zalohy = normalized_interval(backup_intervals, read_int(ini, settings, "zalohy", c.zalohy));
    c.log_chyby = read_bool(ini, settings, "log_chyby", c.log_chyby);
    c.priorita = read_int(ini, settings, "priorita", c.priorita);
    c.zalomit_po = read_int(ini, settings, "zalomit_po", c.zalomit_po);
    c.hlavicka_vysledku = read_bool(ini, settings, "hlavicka_vysledku", c.hlavicka_vysledku);
    if (ini.get(settings, "adresar")) c.adresar = read_text(ini, settings, "adresar", "");
}

void read_positions(const IniFile& ini, Configuration& c) {
    c.left = read_optional(ini, position, "left");
    c.top = read_optional(ini, position, "top");
    c.vypis_max = read_bool(ini, position, "vypis_max", c.vypis_max);
    c.vypis_left = read_optional(ini, position, "vypis_left");
    c.vypis_top = read_optional(ini, position, "vypis_top");
    c.vypis_width = read_int(ini, position, "vypis_width", c.vypis_width);
    c.vypis_height = read_int(ini, position, "vypis_height", c.vypis_height);
}

void set_bool(IniFile& ini, const char* section, const char* key, bool value) {
    ini.set(section, key, value ? "1" : "0");
}

void set_int(IniFile& ini, const char* section, const char* key, int32_t value) {
    ini.set(section, key, std::to_string(value));
}

void set_optional(IniFile& ini, const char* section, const char* key,
                  const std::optional<int32_t>& value) {
    if (value) set_int(ini, section, key, *value);
}

// The order of the keys decides the layout of a file written for the first time.
void write_keys(IniFile& ini, const Configuration& c) {
    set_bool(ini, settings, "ukladat_konf", c.ukladat_konf);
    set_bool(ini, settings, "vysledek_auto", c.vysledek_auto);
    set_bool(ini, settings, "nuly_na_konci", c.nuly_na_konci);
    set_bool(ini, settings, "zalamovat", c.zalamovat);
    set_int(ini, settings, "ukaz_stav", c.ukaz_stav);
    set_int(ini, settings, "zalohy", c.zalohy);
    set_bool(ini, settings, "log_chyby", c.log_chyby);
    set_optional(ini, position, "left", c.left);
    set_optional(ini, position, "top", c.top);
    set_bool(ini, position, "vypis_max", c.vypis_max);
    set_int(ini, settings, "priorita", c.priorita);
    set_int(ini, settings, "zalomit_po", c.zalomit_po);
    set_bool(ini, settings, "hlavicka_vysledku", c.hlavicka_vysledku);
    if (!c.vypis_max) {
        set_optional(ini, position, "vypis_left", c.vypis_left);
        set_optional(ini, position, "vypis_top", c.vypis_top);
        set_int(ini, position, "vypis_width", c.vypis_width);
        set_int(ini, position, "vypis_height", c.vypis_height);
    }
    // A line break cannot be stored in a value; cutting the name there would store another
    // folder, so the stored one stays.
    if (c.adresar && c.adresar->find_first_of("\r\n") == std::string::npos)
        ini.set(settings, "adresar", *c.adresar);
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void remove_quietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

Configuration read_configuration(const std::string& path) {
    const IniFile ini = IniFile::load(path);
    Configuration c;
    read_settings(ini, c);
    read_positions(ini, c);
    return c;
}

bool write_configuration(const std::string& path, const Configuration& config) {
    IniFile ini = IniFile::load(path);
    write_keys(ini, config);
    return ini.save(path);
}

std::string per_user_configuration_path(const std::string& app_data_folder) {
    return app_data_folder + folder_name + "/" + file_name;
}

std::string configuration_path(bool multi_user, const std::string& program_folder,
                               const std::string& app_data_folder) {
    return multi_user ? per_user_configuration_path(app_data_folder) : program_folder + file_name;
}

std::string viewer_configuration_path(const std::string& program_folder,
                                      const std::string& app_data_folder) {
    const std::string per_user = per_user_configuration_path(app_data_folder);
    return exists(per_user) ? per_user : program_folder + file_name;
}

std::optional<std::string> delete_configuration(bool multi_user, const std::string& program_folder,
                                                const std::string& app_data_folder) {
    const std::string file = configuration_path(multi_user, program_folder, app_data_folder);
    remove_quietly(file);
    if (!multi_user) {
        if (exists(file)) return cannot_delete;
        return std::nullopt;
    }
    const std::string folder = app_data_folder + folder_name;
    remove_quietly(folder);  // fails, as it should, while other files are in it
    if (exists(file)) return cannot_delete;
    if (exists(folder)) return "Adresář " + folder + " se smazat nepodařilo";
    return std::nullopt;
}

}  // namespace cifrovar
