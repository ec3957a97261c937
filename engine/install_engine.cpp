// The install engine: header, disc loop with prompts, record extraction,
// progress, and rollback through the installation's journal.
//
// Every way an installation can stop ends in the same place: the output file
// is closed and the journal is rolled back, so exactly the files and folders
// this call created are deleted (a folder only when it is empty by then), the
// files it replaced are moved back from their backups, and what the user had
// is left as it was. The reasons, and what the user sees:
//   cd1 missing, install path or source root
//   too long                                  nothing (nothing was created)
//   header shorter than 168 bytes, or one
//   check_disc_header refuses                 "安裝資料損毀" / "磁碟錯誤!"
//                                             (nothing was created)
//   prompt for a missing disc answered 0      the prompt only
//   progress callback returned 0              nothing from the engine
//   a data record could not be written, or
//   a file could not be closed (its buffered
//   bytes did not reach the disk)             "無法寫入磁碟" / "磁碟錯誤!"
//   a file record could not be created, or
//   the file it replaces could not be moved
//   aside (read-only, no backup folder or
//   name free)                                "Create File Fail" / "Error"
//   damaged data (record cut short, length
//   outside the buffers, zlib stream that
//   does not decompress, unsafe path; or the
//   set ends with other than the header's
//   total of decompressed bytes)              "安裝資料損毀" / "磁碟錯誤!"
//   a disc file that cannot be read           "無法讀取磁碟" / "磁碟錯誤!"
#include "install_engine.h"

#include "decoded_records.h"
#include "directory_tree.h"
#include "disc_format.h"
#include "disc_header.h"
#include "disc_names.h"
#include "engine_texts.h"
#include "file_object.h"
#include "install_journal.h"
#include "platform.h"
#include "record_path.h"
#include "record_reader.h"
#include "record_walk.h"
#include "registration.h"

#include <cstdio>
#include <cstring>

namespace {

// Backups of the files an installation replaces go into one folder it
// creates in the install folder, "~bak1" or, when that name is taken (by the
// backups of an installation that was killed, say, which are never touched),
// the next free "~bakN"; each backup is named by a number there. The name
// does not grow with the replaced file's path, so every file whose path fits
// can be backed up while the install path leaves room for the folder.
const char kBackupFolderFormat[] = "%s\\~bak%d";
const int kMaxBackupFolder = 9999;
const int kMaxBackupNumber = 99999;

int32_t always_go_on(int32_t)
{
    return 1;
}

// Setup's callbacks: kept from one install_disc_set to the next.
DiscPromptCallback g_setup_prompt = prompt_next_disc;
ProgressCallback g_setup_progress = always_go_on;

// The engine's state; one instance for the process. Nothing of one
// installation's options stays in it after the installation.
struct EngineState {
    char install_path[PLAT_PATH_SIZE] = {0};
    char source_root[PLAT_PATH_SIZE] = {0};
    DiscHeader header = {};
    FileObject disc;                           // the disc file being extracted
    FileObject output;                         // the file being written
    int64_t bytes_done = 0;                    // decompressed record bytes so far (64-bit: no set can overflow it)
    int32_t current_disc = 0;                  // zero-based
    int32_t abort = 0;                         // the user stopped, or a write failed
    const EngineOptions* options = nullptr;    // of the installation running; null between them
    InstallJournal journal;                    // what this installation created
    char backup_folder[PLAT_PATH_SIZE] = {0};  // "" until the first file is replaced
    int32_t backups = 0;                       // numbers used in it so far
    int32_t passing_over = 0;                  // 1 while the current file is one the filter passed over
    InstallJournal passed_names;               // names the filter passed over, for their spelling only
};

EngineState g_state;

// Percent of the header's total size done (a negative total never gets
// here: the header check refuses it).
int32_t percent_done()
{
    return progress_percent(g_state.bytes_done, g_state.header.total_size);
}

// Every message of the engine goes through here: to the options' handler,
// or the platform's.
int show_box(const char* text, const char* caption, unsigned type)
{
    const EngineOptions* o = g_state.options;
    if (o && o->message_box)
        return o->message_box(o->context, text, caption, type);
    return plat_message_box(nullptr, text, caption, type);
}

void report_damage()
{
    show_box(engine_text::kDataDamaged, engine_text::kDiskErrorCaption, PLAT_MB_OK);
}

void report_write_error()
{
    show_box(engine_text::kCannotWrite, engine_text::kDiskErrorCaption, PLAT_MB_OK);
}

int32_t ask_for_disc(int32_t disc_index)
{
    const EngineOptions* o = g_state.options;
    return o->disc_prompt ? o->disc_prompt(o->context, disc_index) : prompt_next_disc(disc_index);
}

int32_t report_progress(int32_t percent)
{
    const EngineOptions* o = g_state.options;
    return o->progress ? o->progress(o->context, percent) : 1;
}

// Closes the output file. The runtime writes out its buffered bytes here,
// so a close that fails is a write that failed: 0 then. 1 when it closed or
// no file was open.
int close_output()
{
    if (!g_state.output.handle)
        return 1;
    return g_state.output.close();
}

void report_read_error()
{
    show_box(engine_text::kCannotRead, engine_text::kDiskErrorCaption, PLAT_MB_OK);
}

// Joins the install path and a checked record path; 0 when it does not fit.
int join_install_path(const char* record_path, char* out)
{
    int n = snprintf(out, PLAT_PATH_SIZE, "%s%s", g_state.install_path, record_path);
    return n >= 0 && n < PLAT_PATH_SIZE;
}

// Whether the folder holding `path` (everything before its last separator)
// was created by this installation.
bool in_created_folder(const char* path)
{
    const char* last = find_last_separator(path);
    return last && g_state.journal.contains(InstallJournal::kDirectory, path, (int32_t)(last - path));
}

// Creates this installation's backup folder, the first "~bakN" in the
// install folder that does not exist yet. It is not noted in the journal:
// files in it must always be looked at (the set may name one), and it is
// removed after the journal has committed or rolled back (only when empty,
// so a backup that could not be moved back stays with it). 0 when none can
// be created.
int make_backup_folder()
{
    char folder[PLAT_PATH_SIZE];
    for (int number = 1; number <= kMaxBackupFolder; ++number) {
        int n = snprintf(folder, sizeof folder, kBackupFolderFormat, g_state.install_path, number);
        if (n < 0 || n >= (int)sizeof folder)
            return 0;
        if (plat_create_directory(folder)) {
            memcpy(g_state.backup_folder, folder, (size_t)n + 1);
            return 1;
        }
        if (plat_file_attributes(folder) == PLAT_ATTR_INVALID)
            return 0;  // not taken, and yet it cannot be made
    }
    return 0;
}

// Removes the backup folder once the journal is done with it.
void remove_backup_folder()
{
    if (g_state.backup_folder[0])
        plat_remove_directory(g_state.backup_folder);
    g_state.backup_folder[0] = '\0';
    g_state.backups = 0;
}

// Moves the existing file `path` to the next free number in the backup
// folder and notes the pair in the journal. 0 when the file is read-only,
// when no backup folder or name can be had or when the move fails; nothing
// has changed then.
//
// A read-only file is refused, as opening it for writing always refused it:
// moving it aside would replace a file the user protected.
int move_aside(const char* path, uint32_t attrib)
{
    if (attrib & PLAT_ATTR_READONLY)
        return 0;
    if (!g_state.backup_folder[0] && !make_backup_folder())
        return 0;
    char backup[PLAT_PATH_SIZE];
    while (g_state.backups < kMaxBackupNumber) {
        int number = ++g_state.backups;
        int n = snprintf(backup, sizeof backup, "%s\\%d", g_state.backup_folder, number);
        if (n < 0 || n >= (int)sizeof backup)
            return 0;
        // The set may have put a file of its own there.
        if (plat_file_attributes(backup) != PLAT_ATTR_INVALID)
            continue;
        if (!plat_rename_file(path, backup))
            return 0;
        g_state.journal.add_backup(path, backup);
        return 1;
    }
    return 0;
}

// Handles a directory or file record whose checked path (fold_record_path)
// is `record_path`. 1 to go on; 0 stops the disc (a message has been shown).
int handle_path_record(int type, const char* record_path)
{
    char full[PLAT_PATH_SIZE];
    int32_t install_len = (int32_t)strlen(g_state.install_path);
    if (!join_install_path(record_path, full)) {
        report_damage();
        return 0;
    }
    // "\" alone: the install folder, made at the start.
    if (!record_path[0])
        return 1;
    // A name this installation made already is found whatever the case of
    // its ASCII letters, as Windows finds it.
    g_state.journal.match_case(full, install_len);
    const EngineOptions* o = g_state.options;
    if (o->filter) {
        g_state.passed_names.match_case(full, install_len);
        if (!o->filter(o->context, type, full + install_len)) {
            g_state.passed_names.add(type == disc::kDirectory ? InstallJournal::kDirectory : InstallJournal::kFile,
                                     full);
            if (type == disc::kFile) {
                if (!close_output()) {
                    report_write_error();
                    return 0;
                }
                g_state.passing_over = 1;
            }
            return 1;
        }
        g_state.passing_over = 0;
        make_parent_folders(full, strlen(g_state.install_path), &g_state.journal);
    }
    if (type == disc::kDirectory) {
        // Errors are ignored: a folder that cannot be made shows up as a file
        // that cannot be created.
        if (plat_create_directory(full))
            g_state.journal.add(InstallJournal::kDirectory, full);
        return 1;
    }
    if (!close_output()) {
        report_write_error();
        return 0;
    }
    // A file that was there before is moved aside first, so that a rollback
    // can give it back as it was. A file this installation made itself, and
    // anything inside a folder it created, was not there before: the file
    // system need not be asked.
    uint32_t attrib = PLAT_ATTR_INVALID;
    if (!g_state.journal.contains(InstallJournal::kFile, full, (int32_t)strlen(full)) && !in_created_folder(full))
        attrib = plat_file_attributes(full);
    // A folder of that name is left alone; opening it fails below.
    int ok = attrib == PLAT_ATTR_INVALID || (attrib & PLAT_ATTR_DIRECTORY) || move_aside(full, attrib);
    if (!ok || !g_state.output.open_write(full)) {
        show_box(engine_text::kCreateFileFail, engine_text::kErrorCaption, PLAT_MB_OK);
        return 0;
    }
    g_state.journal.add(InstallJournal::kFile, full);
    return 1;
}

// Applies one record of the disc; after every record but an end record it
// reports progress and pumps messages. kWalkGoOn, or kWalkStop when the disc
// is over (an end record: *ended is set) or the installation stops (the
// user, a write that failed or damage, already reported).
int64_t apply_record(void* ended, const WalkStep& step)
{
    switch (step.kind) {
    case kWalkDamaged:
        if (step.status == kRecordReadError)
            report_read_error();
        else
            report_damage();
        return kWalkStop;
    case kWalkEnd:
        *(int*)ended = 1;
        return kWalkStop;
    case kWalkData:
        g_state.bytes_done += step.length;
        if (g_state.passing_over) {
            // Checked like every record; not written.
        } else if (step.length > 0 && !g_state.output.write(step.data, step.length)) {
            g_state.abort = 1;
            report_write_error();
        }
        break;
    case kWalkFolder:
    case kWalkFile:
        g_state.bytes_done += step.length;
        if (!handle_path_record(step.record.type, step.path))
            return kWalkStop;
        break;
    case kWalkClose:
        g_state.passing_over = 0;
        if (!close_output()) {
            report_write_error();
            return kWalkStop;
        }
        break;
    default:
        break;  // other type bytes are skipped, but still report progress
    }
    if (!report_progress(percent_done()))
        g_state.abort = 1;
    if (g_state.abort)
        return kWalkStop;
    plat_pump_messages();
    return kWalkGoOn;
}

// Extracts the records of the open disc reader. 1 when the disc ended
// (end record or end of file); 0 when the user stopped, a write failed or
// the data are damaged (already reported), with the output file closed.
int extract_disc()
{
    g_state.abort = 0;
    int32_t start = g_state.current_disc == 0 ? disc::kHeaderSize : 0;
    const DecodedRecordSource* source = g_state.options->records;
    if (!source)
        source = inline_record_source();
    // The walk stops the source on every way out: its threads (if any) are
    // done with the disc file before the engine closes it.
    RecordWalk walk = {source, &g_state.disc, (int32_t)strlen(g_state.install_path)};
    int ended = 0;
    int end = walk.run(start, apply_record, &ended);
    if (end == kWalkNotStarted)
        report_damage();
    int finished = end == kWalkEndOfFile || ended;
    if (!finished)
        g_state.output.close();
    return finished;
}

// Undoes what this installation created.
void roll_back()
{
    g_state.output.close();
    g_state.journal.roll_back();
    remove_backup_folder();
}

int install(const char* install_path, const char* source_root)
{
    g_state.bytes_done = 0;
    g_state.current_disc = 0;
    g_state.backup_folder[0] = '\0';
    g_state.backups = 0;
    g_state.passing_over = 0;
    g_state.passed_names.release();

    size_t path_len = strlen(install_path);
    size_t root_len = strlen(source_root);
    if (path_len >= sizeof g_state.install_path || root_len >= sizeof g_state.source_root)
        return 0;
    memcpy(g_state.install_path, install_path, path_len + 1);
    memcpy(g_state.source_root, source_root, root_len + 1);
    // "D:\" is used as "D:". Only a backslash of its own goes: the second
    // byte of a Big5 character at the end stays.
    if (char* sep = last_separator_char(g_state.source_root))
        *sep = '\0';

    char disc_path[PLAT_PATH_SIZE];
    if (!disc_file_path(g_state.source_root, 1, disc_path, sizeof disc_path))
        return 0;
    if (!g_state.disc.open_read(disc_path))
        return 0;
    int header_ok = read_disc_header(&g_state.disc, &g_state.header);
    int header_unreadable = !header_ok && g_state.disc.read_failed();
    g_state.disc.close();
    // A header that cannot be read is a disc error; one cut short, or one
    // whose names would make paths and a registry key outside their places,
    // is damaged data. Either way it is refused before anything is created.
    if (header_unreadable) {
        report_read_error();
        return 0;
    }
    if (!header_ok || !check_disc_header(&g_state.header, nullptr, nullptr)) {
        report_damage();
        return 0;
    }

    make_directory_path(g_state.install_path, &g_state.journal);

    for (int32_t i = 0; i < g_state.header.disc_count; ++i) {
        g_state.current_disc = i;
        if (!disc_file_path(g_state.source_root, i + 1, disc_path, sizeof disc_path)) {
            roll_back();
            return 0;
        }
        while (!g_state.disc.open_read(disc_path)) {
            if (!ask_for_disc(i)) {
                // A file that continues onto the missing disc is still open.
                roll_back();
                return 0;
            }
        }
        int ok = extract_disc();
        g_state.disc.close();
        if (!ok) {
            roll_back();
            return 0;
        }
    }
    // The set may end in the middle of a file.
    if (!close_output()) {
        report_write_error();
        roll_back();
        return 0;
    }
    // The header's total is the set's own account of itself: a disc cut
    // short at a record boundary, a disc of another pressing or a disc
    // count that lost discs all end with another number of bytes.
    if (g_state.bytes_done != (int64_t)g_state.header.total_size) {
        report_damage();
        roll_back();
        return 0;
    }
    // Every file is in place: the files it replaced are no longer needed.
    g_state.journal.commit();
    remove_backup_folder();
    const EngineOptions* o = g_state.options;
    if (o->registration) {
        set_registration_total_size(g_state.header.total_size);
        register_installation(g_state.install_path, g_state.header.company, g_state.header.product, g_state.header.exe,
                              g_state.header.regkey, o->uninstall_link_name ? o->uninstall_link_name : "", 1);
    }
    return 1;
}

}  // namespace

int32_t progress_percent(int64_t bytes_done, int32_t total_size)
{
    if (total_size <= 0)
        return 100;
    return (int32_t)(bytes_done * 100 / (int64_t)total_size);
}

int install_disc_set_with(const char* install_path, const char* source_root, const EngineOptions& options)
{
    if (!install_path || !source_root)
        return 0;
    g_state.options = &options;
    g_state.journal.release();
    int result = install(install_path, source_root);
    // On success the journal was committed, on failure rolled back; this
    // only covers a return before either.
    g_state.journal.release();
    g_state.passed_names.release();
    g_state.options = nullptr;
    return result;
}

namespace {

int32_t setup_prompt(void*, int32_t disc_index)
{
    return g_setup_prompt(disc_index);
}

int32_t setup_progress(void*, int32_t percent)
{
    return g_setup_progress(percent);
}

}  // namespace

int install_disc_set(const char* install_path, const char* source_root, const char* uninstall_link_name,
                     DiscPromptCallback disc_prompt, ProgressCallback progress)
{
    if (disc_prompt)
        g_setup_prompt = disc_prompt;
    if (progress)
        g_setup_progress = progress;
    EngineOptions options;
    options.disc_prompt = setup_prompt;
    options.progress = setup_progress;
    options.uninstall_link_name = uninstall_link_name;
    return install_disc_set_with(install_path, source_root, options);
}

int32_t prompt_next_disc(int32_t)
{
    char text[100];
    snprintf(text, sizeof text, engine_text::kInsertDiscFormat, g_state.current_disc + 1);
    return show_box(text, engine_text::kNextDiscCaption, PLAT_MB_OKCANCEL) == PLAT_IDOK ? 1 : 0;
}
