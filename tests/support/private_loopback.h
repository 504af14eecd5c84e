// Moving a test process into a network namespace of its own (Linux, root only).
#pragma once

// A fresh network namespace for this process and its later children, with only loopback, brought
// up. False when the system refuses (not root, no namespaces).
bool enterPrivateLoopback();
