#pragma once

#include <optional>
#include <string>

#include "sandbox/sample/table_layout.h"

namespace sandbox::sample {

/// What a stock movement does: a purchase brings goods into a depot (GDEPO), a sale takes
/// them out of one (CDEPO), a transfer does both.
enum class MovementKind { kPurchase, kSale, kTransfer };

/// One STOKHAREKET row before it becomes cells.
struct MovementRow {
  std::string when;  ///< TARIH, "yyyy-mm-dd hh:mm:ss.fff"
  MovementKind kind = MovementKind::kPurchase;
  long voucher_number = 0;           ///< FISNO: a prefix per kind and this number
  std::string item;                  ///< STOKKODU
  std::string unit;                  ///< BIRIM
  std::optional<int> vat;            ///< KDVORAN
  std::string into_depot;            ///< GDEPO; empty: NULL
  std::string from_depot;            ///< CDEPO; empty: NULL
  double quantity = 0;               ///< ADET
  double price = 0;                  ///< FIYAT; TUTAR is quantity times price
  std::optional<std::string> party;  ///< CKODU (customer or supplier account)
  std::optional<std::string> note;   ///< ACIKLAMA
  std::string entered;               ///< KAYITZAMANI; empty: NULL
};

/// The movement as a row of StokHareketLayout().
SampleRow ToSampleRow(const MovementRow& move);

}  // namespace sandbox::sample
