// The world tick: the plugin's heartbeat on hook 0.
#pragma once
