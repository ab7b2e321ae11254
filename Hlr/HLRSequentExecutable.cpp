#include "Hlr/HLRSequentExecutable.h"

namespace KvHLR {

void HLRSequentExecutable::preProcess() {}

void HLRSequentExecutable::mainProcess() {}

void HLRSequentExecutable::postProcess() {}

HLRSequentExecutable::~HLRSequentExecutable() = default;

void HLRSequentExecutable::execute() {
    preProcess();
    mainProcess();
    postProcess();
}

} // namespace KvHLR
