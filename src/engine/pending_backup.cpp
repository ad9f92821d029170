#include "engine/pending_backup.h"

#include <system_error>

#include "bignum/compute_threads.h"

namespace cifrovar {

namespace {

// Everything of a state that a calculation file or a backup record shows, besides the limbs.
void copy_description(const CalcState& from, CalcState& to) {
    to.calc_kind = from.calc_kind;
    to.pocitadlo = from.pocitadlo;
    to.top_index = from.top_index;
    to.limb_digits = from.limb_digits;
    to.limb_base = from.limb_base;
    to.backup_counter = from.backup_counter;
    to.moc_zaklad = from.moc_zaklad;
    to.moc_exponent = from.moc_exponent;
    to.fkt_zadani = from.fkt_zadani;
    to.vrc_trida = from.vrc_trida;
    to.vrc_prvky = from.vrc_prvky;
    to.kmb_trida = from.kmb_trida;
    to.kmb_prvky = from.kmb_prvky;
}

}  // namespace

void PendingBackup::write(EngineHooks& hooks, const std::string& path) {
    // A backup that cannot be written costs the run nothing; the next one tries again.
    try {
        written_ = hooks.write_backup(path, copy_);
    } catch (...) {
        written_ = false;
    }
}

void PendingBackup::start(EngineHooks& hooks, const std::string& path, CalcState& st) {
    collect();
    copy_description(st, copy_);
    copy_.vysledek.swap(st.vysledek);
    owner_ = &st;
    try {
        writer_ = std::thread([this, &hooks, path] {
            const ComputeThread computing;
            write(hooks, path);
        });
    } catch (const std::system_error&) {
        write(hooks, path);
    }
}

bool PendingBackup::collect() {
    if (owner_ == nullptr) return false;
    if (writer_.joinable()) writer_.join();
    owner_->vysledek.swap(copy_.vysledek);
    owner_ = nullptr;
    return written_;
}

}  // namespace cifrovar
