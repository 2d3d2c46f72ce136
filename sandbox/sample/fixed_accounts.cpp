// The fixed chart of accounts and level codes.
#include <cstdio>
#include <string>
#include <vector>

#include "sandbox/sample/fixed_rows.h"
#include "sandbox/sample/layouts.h"

namespace sandbox::sample {
namespace {

struct Account {
  const char* code;
  const char* name;    // nullptr: NULL
  const char* parent;  // nullptr: NULL
  int type;
  const char* debit;     // money text; nullptr: NULL
  const char* credit;    // money text; nullptr: NULL
  const char* currency;  // nullptr: NULL
  int active;
  const char* opened;  // datetime text; nullptr: NULL
};

constexpr Account kAccounts[] = {
    {"100", "KASA", nullptr, 1, "0.0000", "0.0000", "TRY", 1, "2010-01-01 00:00:00.000"},
    {"100.01", "Merkez Kasa", "100", 2, "15250.7500", "12000.0000", "TRY", 1,
     "2010-01-01 00:00:00.000"},
    {"100.02", "Döviz Kasası", "100", 2, "1200.0000", nullptr, "USD", 1, nullptr},
    {"102", "BANKALAR", nullptr, 1, nullptr, nullptr, "TRY", 1, "2010-01-01 00:00:00.000"},
    {"102.01", "Ziraat Bankası", "102", 2, "250000.1234", "180000.5678", "TRY", 1,
     "2011-03-15 09:30:00.000"},
    {"102.02", "Türkiye İş Bankası", "102", 2, "98765.4321", "12345.6789", "TRY", 1, nullptr},
    {"120", "ALICILAR", nullptr, 1, nullptr, nullptr, nullptr, 1, nullptr},
    {"120.01", "Yurt İçi Alıcılar", "120", 2, nullptr, nullptr, "TRY", 1, nullptr},
    {"120.01.001", "Ahmet Öztürk", "120.01", 3, "1530.0000", "1000.0000", "TRY", 1,
     "2017-01-03 10:00:00.000"},
    {"120.01.002", "O'Brien Ltd. Şti.", "120.01", 3, "76.3500", "0.0000", "TRY", 1,
     "2017-02-01 00:00:00.000"},
    {"120.01.003", "Çağdaş Gıda A.Ş.", "120.01", 3, "24.8000", nullptr, "TRY", 1, nullptr},
    {"120.01.004", "Şükrü Işıkoğlu", "120.01", 3, "750.0000", "750.0000", "TRY", 0,
     "2016-05-05 15:45:30.500"},
    {"120.02", "Yurt Dışı Alıcılar", "120", 2, "2990.0000", nullptr, "EUR", 1, nullptr},
    {"153", "TİCARİ MALLAR", nullptr, 1, nullptr, nullptr, "TRY", 1, nullptr},
    {"153.01", "Hırdavat", "153", 2, "0.0000", "0.0000", "TRY", 1, nullptr},
    {"153.01.001", "Vida ve Cıvata", "153.01", 3, "1250.0000", "0.0000", "TRY", 1, nullptr},
    {"153.02", "Gıda Ürünleri", "153", 2, "5000.0000", "2000.0000", "TRY", 1, nullptr},
    {"191", "İNDİRİLECEK KDV", nullptr, 1, nullptr, nullptr, "TRY", 1, nullptr},
    {"191.01", "İndirilecek KDV %18", "191", 2, "4321.0987", "0.0000", "TRY", 1, nullptr},
    {"320", "SATICILAR", nullptr, 1, nullptr, nullptr, "TRY", 1, nullptr},
    {"320.01", "Yurt İçi Satıcılar", "320", 2, nullptr, nullptr, "TRY", 1, nullptr},
    {"320.01.001", "Güneş Hırdavat Ltd.", "320.01", 3, "0.0000", "1250.0000", "TRY", 1,
     "2012-08-20 11:11:11.000"},
    {"320.01.002", "Özgür Ticaret", "320.01", 3, "0.0000", "4999.9999", "TRY", 1, nullptr},
    {"320.01.003", "D'Angelo İthalat", "320.01", 3, nullptr, "40.0000", "USD", 1, nullptr},
    {"391", "HESAPLANAN KDV", nullptr, 1, "0.0000", "3456.7800", "TRY", 1, nullptr},
    {"600", "YURT İÇİ SATIŞLAR", nullptr, 1, nullptr, "-0.0100", "TRY", 1, nullptr},
    {"600.01", "Perakende Satışlar", "600", 2, nullptr, "1234567.8900", "TRY", 1, nullptr},
    {"620", "SATILAN TİCARİ MALLAR MALİYETİ", nullptr, 1, "987654.3210", nullptr, "TRY", 1,
     nullptr},
    {"770", "GENEL YÖNETİM GİDERLERİ", nullptr, 1, "100.0000", nullptr, "TRY", 1, nullptr},
    // A code of exactly 20 characters (nvarchar(20)) and a NULL name.
    {"770.01.001.999.99999", nullptr, "770", 3, nullptr, nullptr, nullptr, 0, nullptr},
};

Cell UnicodeOrNull(const char* text) {
  return text ? Unicode(text) : Null();
}
Cell AnsiOrNull(const char* text) {
  return text ? Ansi(text) : Null();
}
Cell ExactOrNull(const char* text) {
  return text ? Exact(text) : Null();
}

struct LevelCode {
  const char* code;
  const char* name;
  const char* note;  // nullptr: NULL
};

// Level 1: product groups, 2: brands, 3: regions, 4: seasons; level 5 stays empty.
const std::vector<LevelCode>& LevelCodes(int level) {
  static const std::vector<LevelCode> kLevels[5] = {
      {{"GRP-01", "Hırdavat", "Vida, somun, çivi"},
       {"GRP-02", "Gıda", nullptr},
       {"GRP-03", "Kırtasiye", "Kağıt ve kalem"},
       {"GRP-04", "Temizlik", nullptr},
       {"GRP-05", "Elektrik", "Kablo, priz, şalter"},
       {"GRP-06", "İnşaat Malzemesi", ""}},
      {{"MRK-01", "Öztürk", nullptr},
       {"MRK-02", "Çağdaş", "Yerli üretim"},
       {"MRK-03", "Işık", nullptr},
       {"MRK-04", "Güneş", nullptr},
       {"MRK-05", "O'Neil", "İthal marka"},
       {"MRK-06", "Şahin", nullptr},
       {"MRK-07", "Yıldız", nullptr}},
      {{"BLG-01", "Marmara", nullptr},
       {"BLG-02", "Ege", nullptr},
       {"BLG-03", "İç Anadolu", nullptr},
       {"BLG-04", "Akdeniz", nullptr},
       {"BLG-05", "Karadeniz", "Yağışlı bölge"},
       {"BLG-06", "Doğu Anadolu", nullptr},
       {"BLG-07", "Güneydoğu Anadolu", nullptr},
       {"BLG-08", "Trakya", nullptr}},
      {{"SZN-01", "İlkbahar", nullptr},
       {"SZN-02", "Yaz", "Haziran-Ağustos"},
       {"SZN-03", "Sonbahar", nullptr},
       {"SZN-04", "Kış", nullptr},
       {"SZN-05", "Tüm Yıl", nullptr}},
      {},
  };
  return kLevels[level - 1];
}

}  // namespace

std::vector<SampleRow> FixedAccountCodes() {
  std::vector<SampleRow> rows;
  RowBuilder row(HesapKoduLayout());
  for (const Account& account : kAccounts) {
    rows.push_back(row.Set("KODU", Unicode(account.code))
                       .Set("ADI", UnicodeOrNull(account.name))
                       .Set("UST", UnicodeOrNull(account.parent))
                       .Set("TIP", Number(std::int64_t{account.type}))
                       .Set("BORC", ExactOrNull(account.debit))
                       .Set("ALACAK", ExactOrNull(account.credit))
                       .Set("DOVIZ", AnsiOrNull(account.currency))
                       .Set("AKTIF", Number(std::int64_t{account.active}))
                       .Set("ACILIS", AnsiOrNull(account.opened))
                       .Take());
  }
  return rows;
}

std::vector<SampleRow> FixedLevelCodes(int level) {
  const TableLayout& layout = DuzeyKoduLayout(level);
  std::vector<SampleRow> rows;
  RowBuilder row(layout);
  int day = 0;
  for (const LevelCode& code : LevelCodes(level)) {
    char created[48];
    std::snprintf(created, sizeof created, "2016-12-%02d 09:00:00.000", 1 + day++);
    rows.push_back(row.Set("KODU", Unicode(code.code))
                       .Set("ADI", Unicode(code.name))
                       .Set("ACIKLAMA", UnicodeOrNull(code.note))
                       .Set("OLUSTURMA", Ansi(created))
                       .Take());
  }
  return rows;
}

}  // namespace sandbox::sample
