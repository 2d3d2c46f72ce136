#include "sandbox/sample/layouts.h"

#include <array>
#include <stdexcept>
#include <string>

namespace sandbox::sample {

const TableLayout& DepoLayout() {
  static const TableLayout layout{"DEPO", {"KODU", "ADI", "ADRES", "TELEFON", "AKTIF", "ACILIS"}};
  return layout;
}

const TableLayout& StokLayout() {
  static const TableLayout layout{
      "STOK",
      {"STOKKODU",     "STOKADI",   "BIRIM",      "HESAPKODU",   "DKODU1",       "DKODU2",
       "DKODU3",       "DKODU4",    "DKODU5",     "SIRA",        "KDVORAN",      "BARKOD",
       "KISAAD",       "URETICI",   "ALISFIYATI", "SATISFIYATI", "ISKONTO",      "MINSTOK",
       "AGIRLIK",      "HACIM",     "KOLIADET",   "TIP",         "KAYITNO",      "PASIF",
       "GUID",         "OLUSTURMA", "GUNCELLEME", "SONSAYIM",    "SAYIMSAATI",   "DEGISIKLIK",
       "ZAMANDAMGASI", "NOTLAR",    "ACIKLAMA",   "ETIKET",      "ESKIACIKLAMA", "RESIM",
       "KOD",          "OZELLIK"}};
  return layout;
}

const TableLayout& StokHareketLayout() {
  static const TableLayout layout{
      "STOKHAREKET",
      {"TARIH", "FISNO", "DURUM", "ISLEM", "CKODU", "AYIR", "GDEPO", "CDEPO", "STOKKODU", "BIRIM",
       "KDVORAN", "ADET", "FIYAT", "TUTAR", "ACIKLAMA", "KAYITZAMANI"}};
  return layout;
}

const TableLayout& HesapKoduLayout() {
  static const TableLayout layout{
      "HESAPKODU", {"KODU", "ADI", "UST", "TIP", "BORC", "ALACAK", "DOVIZ", "AKTIF", "ACILIS"}};
  return layout;
}

const TableLayout& DuzeyKoduLayout(int level) {
  static const std::array<TableLayout, 5> layouts = [] {
    std::array<TableLayout, 5> all;
    for (int i = 0; i < 5; ++i) {
      all[i] = TableLayout{"DUZEYKODU" + std::to_string(i + 1),
                           {"KODU", "ADI", "ACIKLAMA", "OLUSTURMA"}};
    }
    return all;
  }();
  if (level < 1 || level > 5)
    throw std::out_of_range("no level code table " + std::to_string(level));
  return layouts[level - 1];
}

const TableLayout& SirketlerLayout() {
  static const TableLayout layout{"sirketler", {"SirketAdi", "CalismaYili", "DBAdi"}};
  return layout;
}

}  // namespace sandbox::sample
