#include "common/outcome.h"

namespace {
struct OutcomeRow {
  Outcome code;
  const wchar_t* words;
};
constexpr OutcomeRow OutcomeTable[] = {
    {Outcome::SaveDataSucceed, L"Save Data Succeed!"},
    {Outcome::GetDataSucceed, L"Get Data Succeed!"},
    {Outcome::NoData, L"No Data!"},
    {Outcome::DeleteSucceed, L"Delete Barcodes Succeed!"},
    {Outcome::SetTimeSucceed, L"Set Time Succeed!"},
    {Outcome::GetTimeSucceed, L"Get Time Succeed!"},
    {Outcome::NoPortOpen, L"Please Open Ports!"},
    {Outcome::OpenPortsFailed, L"Open Ports Failed!"},
    {Outcome::PortInUse, L"Port In Use"},
    {Outcome::WakeFailed, L"Send '*' Failed!"},
    {Outcome::SetDisplayItemsFailed, L"Set KT52 Display Items Failed!"},
    {Outcome::GetSeparatorFailed, L"Get KT52 Default Separator Failed!"},
    {Outcome::GetDataFailed, L"Get Data Failed!"},
    {Outcome::DeleteFailed, L"Delete Barcodes Failed!"},
    {Outcome::NotDeleted, L"Not Deleted: Last Download Failed!"},
    {Outcome::GetSerialNumberFailed, L"Get SN Failed!"},
    {Outcome::SendGetTimeFailed, L"Send Get KT52 Time Command Failed!"},
    {Outcome::GetTimeFormatFailed, L"Get Time Format Failed!"},
    {Outcome::GetTimeFailed, L"Get Time Failed!"},
    {Outcome::SetTimeFormatFailed, L"Set Time Format Failed!"},
    {Outcome::SetTimeFailed, L"Set Time Failed!"},
    {Outcome::TimeInputError, L"Time Input Error,Please Follow the Format!"},
    {Outcome::GetFileNameFailed, L"Get File Name Failed!"},
    {Outcome::EnterFileName, L"Please Enter File Name!"},
    {Outcome::OpenFileFailed, L"Open File Failed!"},
    {Outcome::WriteFileFailed, L"Write File Failed!"},
    {Outcome::Cancelled, L"Cancelled"},
    {Outcome::Stopped, L"Stopped"},
};
}  // namespace

const wchar_t* OutcomeWords(Outcome code) {
  for (const OutcomeRow& row : OutcomeTable)
    if (row.code == code) return row.words;
  return L"";
}
