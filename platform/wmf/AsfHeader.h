#pragma once
// Recognition of encrypted ASF content from the header object's children.

#include <cstddef>
#include <cstdint>

// The size the header object declares when Data starts with one (at least 30 bytes
// needed), else -1.
int64_t AsfHeaderObjectSize(const uint8_t* Data, size_t Size);

// True when the header object at the start of Data holds a content-encryption,
// extended content-encryption or (inside the header extension) advanced
// content-encryption object. Only the bytes given are looked at; objects that run
// past them or declare impossible sizes end the search.
bool AsfHeaderIsProtected(const uint8_t* Data, size_t Size);
