# cmake -DINPUT=file -DOUTPUT=file.gz -P Gzip.cmake: compresses one file.
file(ARCHIVE_CREATE OUTPUT ${OUTPUT} PATHS ${INPUT} FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
