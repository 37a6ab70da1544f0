#pragma once

// The groups the help page sorts every key into, in page order.
enum class HelpGroup { Moving, Selecting, Editing, Deleting, Clipboard, Files, Search, Other };
