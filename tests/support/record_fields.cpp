#include "support/record_fields.h"

#include "ui/control_ids.h"
#include "ui/controls.h"

void UncheckRecordFields(Controls& dialog) {
  dialog.SetChecked(IDC_SHOW_SERIAL_NUMBER, false);
  dialog.SetChecked(IDC_SHOW_TIME_STAMP, false);
}
