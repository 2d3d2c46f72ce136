#pragma once

#include <string_view>

// Codes of the edge cases the sample always holds (small and large, any seed), for tests
// that check how the transfer treats them. A remainder is received (GDEPO) minus issued
// (CDEPO) of one item in one depot. Depots 03, 04, 06 and 07 each see the movements of one
// item only, so there the depot's total equals that item's remainder.
namespace sandbox::sample::codes {

/// Depot "ANA DEPO": generated movements and most edge-case items.
inline constexpr std::string_view kMainDepot = "01";
/// "ŞUBE DEPO": generated movements, the receiving end of the transfers; TELEFON NULL.
inline constexpr std::string_view kBranchDepot = "02";
/// "O'Brien Deposu" (a quote in its name, ADRES empty): only kZeroRemainderCard moves here,
/// so the depot's total is 0 as well.
inline constexpr std::string_view kZeroRemainderDepot = "03";
/// "ÇIĞIR DEPO ğüşıöç" (AKTIF 0): only kNeverReceivedCard, issued and never received: -4.
inline constexpr std::string_view kNeverReceivedDepot = "04";
/// "BOŞ DEPO": no movement at all.
inline constexpr std::string_view kIdleDepot = "05";
/// Only kOverIssuedCard: received 5, issued 8, total -3.
inline constexpr std::string_view kOverIssuedDepot = "06";
/// Only kFractionCard: 2.5 received at 4.
inline constexpr std::string_view kFractionDepot = "07";

/// Every STOK column set; NOTLAR longer than 4000 characters, ETIKET longer than 8000.
inline constexpr std::string_view kFullCard = "TAM-001";
/// Every STOK column set, values at their types' limits (money and decimal(18,4) maxima,
/// bigint 2^53+1, smallint minimum, empty varbinary, date 0001-01-01...).
inline constexpr std::string_view kLimitsCard = "TAM-002";
/// Only STOKKODU and PASIF: every nullable column NULL. No movements.
inline constexpr std::string_view kBareCard = "BOS-001";
/// An ordinary card without movements.
inline constexpr std::string_view kIdleCard = "HRKSIZ-01";
/// A code with a single quote; STOKADI "O'Brien". Remainder 10 in depot 02.
inline constexpr std::string_view kQuoteCard = "O'BRIEN-01";
/// STOKADI is the text 'A''lı' (quotes included). Remainder 6 in depot 01.
inline constexpr std::string_view kQuotedNameCard = "TIRNAK-01";
/// A code in Turkish letters; remainder 10 in depot 02 at an average price of 3.
inline constexpr std::string_view kTurkishCard = "ŞİŞ-ĞÜÇ-01";
/// Code of exactly 30 characters (nvarchar(30)); STOKADI, BIRIM, HESAPKODU, KISAAD, URETICI
/// and BARKOD at their maximum lengths too. Remainder 1 at 1000 in depot 01.
inline constexpr std::string_view kMaxLengthCard = "MAKS-ÇĞİÖŞÜ-123456789012345678";
/// STOKADI, BARKOD and NOTLAR empty strings, KDVORAN NULL. Remainder 4 in depot 02.
inline constexpr std::string_view kEmptyTextCard = "BOSMETIN-01";
/// Received 10 into depot 03, issued 2.5 and 7.5: remainder exactly 0 (average price 5.5).
inline constexpr std::string_view kZeroRemainderCard = "SIFIR-01";
/// Received 6 into depot 01, issued 4 from depot 04 that never received it: remainder -4
/// (price 0) in 04 and 6 in 01.
inline constexpr std::string_view kNeverReceivedCard = "EKSI-01";
/// Received 5 into depot 06 at 2.2, issued 8 from it: remainder -3. The ACIKLAMA
/// holds a CR LF.
inline constexpr std::string_view kOverIssuedCard = "FAZLA-01";
/// Received 2.5 into depot 07 at 4: remainder 2.5, amount 10.
inline constexpr std::string_view kFractionCard = "KESIR-01";
/// Received 3 at 0.123456789 and 7 at 1.987654321 into depot 01: remainder 10, average
/// price 1.055555555.
inline constexpr std::string_view kManyDecimalsCard = "ONDALIK-01";
/// Movements (3 into depot 02 at 9.99) but no STOK card.
inline constexpr std::string_view kCardlessItem = "KARTSIZ-01";
/// Received 20 into depot 01 at 7.125, then 12 moved from 01 to 02: remainders 8 and 12.
inline constexpr std::string_view kTransferCard = "TRF-01";

}  // namespace sandbox::sample::codes
