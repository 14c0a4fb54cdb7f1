/* The C interface of the HP raster library (libhpldrlgl.so).
 *
 * The driver loads the library with dlopen and resolves these entry points by
 * name; any library exporting them with these signatures can replace the
 * stand-in that ships with slabrip. Plain C, the platform's standard calling
 * convention. Every entry point returns 0 on success or a negative code. */
#ifndef SLABRIP_HPLDRLGL_ABI_H
#define SLABRIP_HPLDRLGL_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HPDRLGL_Job* HPDRLGL_JobHandle;

/* Receives printer data. The XML job ticket carries its address and the user
 * value in hexadecimal. Returns 0 when the data was taken; anything else makes
 * the library fail the call in progress with HPDRLGL_CALLBACK_FAILED. */
typedef int32_t (*HPDRLGL_PrinterDataProc)(const void* data, uint32_t count, uintptr_t userData);

#define HPDRLGL_PRINTER_INFO_SIZE 1068

/* The printer-information record. The caller zero-fills it and sets `size`;
 * the library fills the rest. Lengths in 1/9600 inch. */
typedef struct HPDRLGL_PrinterInfo {
  int32_t size;               /* 0: HPDRLGL_PRINTER_INFO_SIZE */
  char modelName[160];        /* 4: zero-terminated */
  int32_t marginLeft;         /* 164 */
  int32_t marginTop;          /* 168 */
  int32_t marginRight;        /* 172 */
  int32_t marginBottom;       /* 176 */
  int32_t maxPrintWidth;      /* 180 */
  int32_t resolutionCount;    /* 184: entries used in resolutions */
  int32_t resolutions[16];    /* 188: dots per inch */
  uint8_t reserved[800];      /* 252 */
  int32_t field1052;          /* 1052: set to 0 by the caller */
  int32_t field1056;          /* 1056: set to 0 by the caller */
  uint8_t reserved2[8];       /* 1060 */
} HPDRLGL_PrinterInfo;

#ifdef __cplusplus
static_assert(sizeof(HPDRLGL_PrinterInfo) == HPDRLGL_PRINTER_INFO_SIZE);
static_assert(offsetof(HPDRLGL_PrinterInfo, marginLeft) == 164);
static_assert(offsetof(HPDRLGL_PrinterInfo, marginBottom) == 176);
static_assert(offsetof(HPDRLGL_PrinterInfo, field1052) == 1052);
static_assert(offsetof(HPDRLGL_PrinterInfo, field1056) == 1056);
#endif

/* Result codes (the driver's HPErrorText gives their texts). */
enum {
  HPDRLGL_OK = 0,
  HPDRLGL_GENERAL_ERROR = -1,
  HPDRLGL_INVALID_PARAMETERS = -2,
  HPDRLGL_NOT_ENOUGH_MEMORY = -3,
  HPDRLGL_MODEL_NOT_SUPPORTED = -4,
  HPDRLGL_RASTER_FORMAT_NOT_SUPPORTED = -5,
  HPDRLGL_MEDIA_SOURCE_NOT_SUPPORTED = -6,
  HPDRLGL_PRINT_MODE_NOT_SUPPORTED = -7,
  HPDRLGL_UNEXPECTED_CALL = -8,
  HPDRLGL_CONFIGURATION_INVALID = -9,
  HPDRLGL_CALLBACK_FAILED = -10,
  HPDRLGL_MARGIN_TYPE_NOT_SUPPORTED = -11
};

/* Writes a zero-terminated "name version" text into `buffer`. */
int32_t HPDRLGL_QueryLibraryInfo(char* buffer, uint32_t size);
/* Writes the known model ids, one per line, zero-terminated. */
int32_t HPDRLGL_QuerySupportedPrinters(char* buffer, uint32_t size);
int32_t HPDRLGL_QueryPrinterInfo(const char* modelId, HPDRLGL_PrinterInfo* info, uint32_t reserved);
/* The printer information as a zero-terminated XML document. */
int32_t HPDRLGL_QueryPrinterInfoXML(const char* modelId, char* buffer, uint32_t size);

int32_t HPDRLGL_JobStart(HPDRLGL_JobHandle* job, const char* jobInfoXml);
int32_t HPDRLGL_PageStart(HPDRLGL_JobHandle job, const char* pageInfoXml);
/* The three zero arguments are reserved. Source and destination sizes must
 * be equal: the library does not scale. */
int32_t HPDRLGL_RasterStart(HPDRLGL_JobHandle job, const char* rasterFormatXml, int32_t reserved1,
                            int32_t reserved2, int32_t reserved3, int32_t sourceWidth,
                            int32_t sourceHeight, int32_t destWidth, int32_t destHeight);
/* One printer row: every declared plane in plane order, each
 * ceil(sourceWidth / 4) bytes of 2-bit pixels, leftmost pixel in the high bits. */
int32_t HPDRLGL_RasterRow(HPDRLGL_JobHandle job, const uint8_t* row);
int32_t HPDRLGL_RasterEnd(HPDRLGL_JobHandle job);
int32_t HPDRLGL_PageEnd(HPDRLGL_JobHandle job);
/* Ends the job and frees the handle. */
int32_t HPDRLGL_JobEnd(HPDRLGL_JobHandle job);
/* Ends the job early and frees the handle; the printer data is closed off. */
int32_t HPDRLGL_JobAbort(HPDRLGL_JobHandle job);
/* Hands any buffered printer data to the callback now. */
int32_t HPDRLGL_JobFlush(HPDRLGL_JobHandle job);

#ifdef __cplusplus
}
#endif

#endif
