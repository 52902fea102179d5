/* Orbiscope camera records as a host writes them: the places of the fields of the
 * 2984-byte CameraRecord (little-endian) that a host fills when it adds a camera to
 * "Config.ure", a file of 3000-byte slots whose first 2984 bytes are a record. The library
 * never adds slots; the host does (CreateConfigure gives a record with every default set).
 */
#ifndef ORBISCOPE_RECORD_H
#define ORBISCOPE_RECORD_H

#define ORB_RECORD_SIZE 2984
#define ORB_SLOT_SIZE 3000

#define ORB_REC_MODEL 0           /* int32: camera model index */
#define ORB_REC_ADDRESS 8         /* text[40]: dotted IPv4 address or host name */
#define ORB_REC_HTTP_PORT 52      /* int32 */
#define ORB_REC_ACCOUNT 56        /* text[20]: Base64 of the account (EncodeBase64) */
#define ORB_REC_RTSP_PORT 76      /* int32: model 403: the RTSP port (default 554) */
#define ORB_REC_RTSP_TRANSPORT 80 /* int32: model 403: 0 TCP (interleaved), 1 UDP */
#define ORB_REC_PASSWORD 92       /* text[20]: Base64 of the password */
#define ORB_REC_NAME 640          /* text[80] */
#define ORB_REC_LOCATION 720      /* text[440]: the label the camera is listed under and
                                     its recordings are named after */
/* Generic models 400-403 (any MJPEG stream, any JPEG snapshot polled, any MJPEG stream asked
 * with HTTP/1.0, any RTSP camera): the path and query of the camera's URL, text of at most
 * 135 characters. */
#define ORB_REC_URL_PATH 1204
#define ORB_REC_URL_PATH_MAX 135
#define ORB_REC_HALF_FOV 1960     /* double: half the lens field of view, degrees */
#define ORB_REC_LENS_TYPE 1968    /* int32: 1 normal, 2 fisheye, 3 concave mirror, 4 convex
                                     mirror, 5 annular, 8 180-degree, 9 90-degree fisheye */
#define ORB_REC_CENTRE_X 1948     /* int32: lens circle centre, alignment units */
#define ORB_REC_CENTRE_Y 1952     /* int32 */
#define ORB_REC_OUTER_RADIUS 1972 /* int32 */
#define ORB_REC_INNER_RADIUS 1976 /* int32 */
#define ORB_REC_OVAL_H 1984       /* int32: oval-to-round correction, horizontal */
#define ORB_REC_OVAL_V 1988       /* int32: and vertical */
#define ORB_REC_SOURCE_WIDTH 1992 /* int32: the camera's picture size, pixels */
#define ORB_REC_SOURCE_HEIGHT 1996
#define ORB_REC_CAMERA_ID 2000    /* int32: the key the record is found by */
#define ORB_REC_FLIP_H 2008       /* int32: non-zero flips */
#define ORB_REC_FLIP_V 2012

#define ORB_MODEL_ANY_STREAM 400
#define ORB_MODEL_ANY_SNAPSHOT 401
#define ORB_MODEL_ANY_STREAM_HTTP10 402
/* Any RTSP camera by its rtsp:// URL (H.264, H.265, Motion-JPEG): host at ORB_REC_ADDRESS,
 * port at ORB_REC_RTSP_PORT, path and query at ORB_REC_URL_PATH. */
#define ORB_MODEL_RTSP 403

#endif
