// Restart read: the model and state saved by save_state (storage/
// restart_file.h), read back before the structure pass of a continued run.
#pragma once

#include "io/records.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

// Reads records 2 to the end of the restart file (record 1, the sizes, has
// been read by the caller and made md.sz) into the counters and tables of
// md and the fibre state of fs. Returns the number of the last step of the
// saved run; the continued run goes on with the next number.
//
// Every record must have exactly the length this model's sizes give it, the
// counters and the table indices must fit the sizes, and the file must end
// after the last record; otherwise FileError names the file and the record.
// (LOADSTATE of the card-era program.)
int load_state(RecordFile& in, Model& md, FibreStore& fs);

}  // namespace nlf
