#pragma once
// The scanner's date orders, one radio button each in the dialog.
enum class DateFormat { US, EU, CN };  // MM/DD/YYYY, DD/MM/YYYY, YYYY/MM/DD
