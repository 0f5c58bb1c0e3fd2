// Interface identifiers published by the mail client.
#include "exchext.h"

const IID IID_IExchExt                = {0x00020D11, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IExchExtCallback        = {0x00020D10, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IExchExtMessageEvents   = {0x00020D15, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IExchExtPropertySheets  = {0x00020D17, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IOutlookExtItemEvents   = {0x0006723A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
